#pragma once
// Diagnostics. KZDebugLog writes "[DEBUG] <message>" lines, KZSystemLog plain lines; both go
// to standard error (the desktop session's journal) unless a test installs a sink.

#include <QString>

#include <functional>

void KZDebugLog(const QString& message);
void KZSystemLog(const QString& message);

namespace kz {
using LogSink = std::function<void(const QString& line)>;
// Replaces the destination of every log line; an empty sink restores standard error.
// Returns the previous sink.
LogSink setLogSink(LogSink sink);
} // namespace kz
