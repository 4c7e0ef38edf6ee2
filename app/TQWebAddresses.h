#pragma once
// TEMPORARY STUB until the preferences branch lands.
#include <QString>

namespace TQWebAddresses {
inline const QString supportPage = QStringLiteral("https://zandrel.com/sizemere/support");
inline const QString microblogPage = QStringLiteral("https://twitter.com/zandrel");
} // namespace TQWebAddresses
