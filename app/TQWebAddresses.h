#pragma once
// The web pages the program opens in the browser: the maker's pages (help, the About pane's
// links, the follow action) and the share pages of the finished screen. Nothing is fetched:
// every page goes to KZWorkspace::openURL.

#include <QString>

namespace TQWebAddresses {
// The product's page; the link every share text carries.
inline const QString productPage = QStringLiteral("https://zandrel.com/sizemere");
// The maker's own site.
inline const QString makerSite = QStringLiteral("https://zandrel.com");
// Help and frequently asked questions.
inline const QString supportPage = QStringLiteral("https://zandrel.com/sizemere/support");
// The maker's page on the social network, and on the microblogging service.
inline const QString socialNetworkPage = QStringLiteral("https://www.facebook.com/zandrel");
inline const QString microblogPage = QStringLiteral("https://twitter.com/zandrel");
// Share pages: the microblog's post page takes the text under "text"; the social network's
// plain share page takes the link under "u" (without an application identifier there is no
// feed dialog that would take a text).
inline const QString microblogSharePage = QStringLiteral("https://twitter.com/intent/tweet");
inline const QString socialNetworkSharePage = QStringLiteral("https://www.facebook.com/sharer/sharer.php");
} // namespace TQWebAddresses
