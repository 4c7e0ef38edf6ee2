#include "model/KZIgnoreList.h"

#include "model/KZFile.h"
#include "model/KZPath.h"
#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool childOfAny(std::string_view path, const std::optional<KZIgnoreList::PathList>& list)
{
    if (!list) return false;
    for (const std::string& entry : *list)
        if (kz_isChildOfPath(path, entry)) return true;
    return false;
}

} // namespace

KZIgnoreList::KZIgnoreList(const QString& resource)
{
    loadSystemPaths(resource);
}

std::string KZIgnoreList::actualHomeDirectory()
{
    return kz::homeDirectoryForCurrentUser();
}

void KZIgnoreList::loadSystemPaths(const QString& resource)
{
    QFile file(resource);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    const QJsonObject root = doc.object();
    if (!doc.isObject() || !root.value(QStringLiteral("SystemPaths")).isArray() ||
        !root.value(QStringLiteral("UnremovableFolders")).isArray()) {
        KZSystemLog(QStringLiteral("Ignore list is invalid"));
        return;
    }
    const std::string home = actualHomeDirectory();
    auto expand = [&home](const QJsonValue& value) {
        PathList out;
        for (const QJsonValue& v : value.toArray()) {
            if (!v.isString()) continue;
            std::string entry = kz::pathFromQString(v.toString());
            if (!entry.empty() && entry[0] == '~') {
                std::string rest = entry.substr(1);
                while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
                entry = home;
                if (!rest.empty()) {
                    if (entry.empty() || entry.back() != '/') entry.push_back('/');
                    entry += rest;
                }
            }
            if (entry.empty() || entry.back() != '/') entry.push_back('/');
            out.push_back(std::move(entry));
        }
        return out;
    };
    systemPaths_ = expand(root.value(QStringLiteral("SystemPaths")));
    unremovablePaths_ = expand(root.value(QStringLiteral("UnremovableFolders")));
    setAllowedPaths(expand(root.value(QStringLiteral("AllowedPaths"))));
}

void KZIgnoreList::setIgnoredPaths(const std::optional<QStringList>& paths)
{
    if (!paths) {
        ignoredPaths_.reset();
        return;
    }
    PathList list;
    list.reserve(size_t(paths->size()));
    for (const QString& p : *paths) list.push_back(kz::pathFromQString(p));
    ignoredPaths_ = std::move(list);
}

void KZIgnoreList::setIgnoredExtensions(const std::optional<QStringList>& extensions)
{
    ignoredExtensions_ = extensions;
}

void KZIgnoreList::setAllowedPaths(std::optional<PathList> paths)
{
    // Written to the system log, as the list was loaded; an empty list (every scan makes a
    // list of its own) says nothing worth a line.
    if (paths && !paths->empty()) {
        QStringList shown;
        for (const std::string& p : *paths) shown.append(kz::displayString(p));
        KZSystemLog(QStringLiteral("(%1)").arg(shown.join(QStringLiteral(", "))));
    }
    allowedPaths_ = std::move(paths);
}

bool KZIgnoreList::pathHasAllowedOverride(std::string_view path) const
{
    return childOfAny(path, allowedPaths_);
}

bool KZIgnoreList::pathIsIgnored(std::string_view path) const
{
    return childOfAny(path, ignoredPaths_);
}

bool KZIgnoreList::nameExtensionIsIgnored(std::string_view name) const
{
    if (!hasIgnoredExtensions()) return false;
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= name.size()) return false;
    const std::string_view ext = name.substr(dot + 1);
    const QString lowered = kz::pathToQString(ext).toLower();
    return ignoredExtensions_->contains(lowered);
}

bool KZIgnoreList::pathExtensionIsIgnored(std::string_view path) const
{
    if (!hasIgnoredExtensions()) return false;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        const size_t start = i;
        while (i < path.size() && path[i] != '/') ++i;
        if (i > start && nameExtensionIsIgnored(path.substr(start, i - start))) return true;
    }
    return false;
}

bool KZIgnoreList::filePathIsIgnored(std::string_view path) const
{
    if (pathHasAllowedOverride(path)) return false;
    if (pathIsIgnored(path)) return true;
    return pathExtensionIsIgnored(path);
}

bool KZIgnoreList::fileIsIgnored(const KZFile& file) const
{
    return filePathIsIgnored(file.path());
}

bool KZIgnoreList::pathIsChildOfSystemPath(std::string_view path) const
{
    if (pathHasAllowedOverride(path)) return false;
    return childOfAny(path, systemPaths_);
}

bool KZIgnoreList::pathIsUnremovable(std::string_view path) const
{
    if (unremovablePaths_) {
        for (const std::string& entry : *unremovablePaths_)
            if (kz_isEqualToPath(path, entry)) return true;
    }
    // Home folders, "/" and every folder that holds a home folder: the remover's own rule.
    return kz::isHomeFolderOrAncestor(path);
}

bool KZIgnoreList::fileIsUnremovable(const KZFile& file) const
{
    return pathIsUnremovable(file.path());
}
