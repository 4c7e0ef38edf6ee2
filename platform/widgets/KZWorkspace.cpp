#include "platform/widgets/KZWorkspace.h"

#include "platform/KZDispatch.h"
#include "platform/KZPathString.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QStyle>

#include <sys/stat.h>

namespace {
KZWorkspace* overridden = nullptr;

QUrl urlForPath(const std::string& path)
{
    return QUrl::fromLocalFile(QFile::decodeName(kz::toByteArray(path)));
}

std::string parentOf(const std::string& path)
{
    const std::string parent = kz::parentPath(path);
    return parent.empty() ? std::string(".") : parent;
}
} // namespace

KZWorkspace& KZWorkspace::shared()
{
    static KZDesktopWorkspace real;
    return overridden ? *overridden : real;
}

void KZWorkspace::setShared(KZWorkspace* workspace)
{
    overridden = workspace;
}

void KZDesktopWorkspace::revealInFileManager(const std::vector<std::string>& paths)
{
    if (paths.empty()) return;
    QStringList uris;
    for (const std::string& p : paths) uris << urlForPath(p).toString(QUrl::FullyEncoded);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return;
    QDesktopServices::openUrl(urlForPath(parentOf(paths.front())));
}

bool KZDesktopWorkspace::openFile(const std::string& path)
{
    return QDesktopServices::openUrl(urlForPath(path));
}

bool KZDesktopWorkspace::openURL(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QIcon kz_genericFileIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    if (icon.isNull() && qApp) icon = qApp->style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

namespace {
std::pair<QString, QString> iconNamesForFile(const std::string& path)
{
    const std::string p = kz::pathWithoutTrailingSlash(path);
    struct stat st {};
    if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {QStringLiteral("folder"), QString()};
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QFile::decodeName(kz::toByteArray(p)));
    return {type.iconName(), type.genericIconName()};
}
} // namespace

QString kz_iconNameForFile(const std::string& path)
{
    return iconNamesForFile(path).first;
}

namespace {
// Main thread: the theme's icon for a type, its generic icon, else the style's.
QIcon iconFromNames(const QString& name, const QString& generic)
{
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull() && !generic.isEmpty()) icon = QIcon::fromTheme(generic);
    if (icon.isNull()) {
        icon = name == QLatin1String("folder") && qApp ? qApp->style()->standardIcon(QStyle::SP_DirIcon)
                                                       : kz_genericFileIcon();
    }
    return icon;
}
} // namespace

QIcon kz_iconForFile(const std::string& path)
{
    const auto [name, generic] = iconNamesForFile(path);
    return iconFromNames(name, generic);
}

QIcon kz_iconForFileType(const QString& extension)
{
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QStringLiteral("file.") + extension, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return kz_genericFileIcon();
    return iconFromNames(type.iconName(), type.genericIconName());
}

void kz_asyncIconForFile(const std::string& path, const QObject* context, std::function<void(const QIcon&)> block)
{
    // The guard is made here, on the caller's thread, and read only on the main thread.
    QPointer<QObject> guard(const_cast<QObject*>(context));
    const bool hadContext = context != nullptr;
    KZRunInBackground([path, guard, hadContext, block = std::move(block)]() mutable {
        const auto [name, generic] = iconNamesForFile(path);
        KZRunOnMainThread([name, generic, guard, hadContext, block = std::move(block)] {
            if (hadContext && !guard) return;
            block(iconFromNames(name, generic));
        });
    });
}
