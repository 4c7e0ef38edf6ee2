#include "platform/KZLog.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}
kz::LogSink& sink()
{
    static kz::LogSink s;
    return s;
}
void emitLine(const QString& line)
{
    kz::LogSink current;
    {
        std::lock_guard lock(logMutex());
        current = sink();
    }
    if (current) {
        current(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
}
} // namespace

void KZDebugLog(const QString& message)
{
    emitLine(QStringLiteral("[DEBUG] ") + message);
}

void KZSystemLog(const QString& message)
{
    emitLine(message);
}

kz::LogSink kz::setLogSink(LogSink s)
{
    std::lock_guard lock(logMutex());
    LogSink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}
