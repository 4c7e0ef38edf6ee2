#pragma once
// Answers three questions about a path or record: is it ignored (left out of scans and of
// the treemap), does it lie under a system path, and may it never be removed. Fixed lists
// (system paths, unremovable folders, allowed paths) come from the ignore-list resource; the
// owner pushes in the user's ignored folders and extensions from the settings. There is no
// shared instance: every owner makes its own.

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class KZFile;

class KZIgnoreList {
public:
    using PathList = std::vector<std::string>;

    static QString defaultResource() { return QStringLiteral(":/IgnoreList.json"); }

    // A new list with the resource's lists loaded and no user lists.
    static KZIgnoreList ignoreList() { return KZIgnoreList(); }
    KZIgnoreList() : KZIgnoreList(defaultResource()) {}
    // Loads the fixed lists from another resource or file (tests).
    explicit KZIgnoreList(const QString& resource);

    // The user's ignored folders, as the settings hold them (no "~" expansion, no final "/").
    void setIgnoredPaths(const std::optional<QStringList>& paths);
    // The user's ignored extensions, compared exactly as stored.
    void setIgnoredExtensions(const std::optional<QStringList>& extensions);
    void setAllowedPaths(std::optional<PathList> paths);
    void setSystemPaths(std::optional<PathList> paths) { systemPaths_ = std::move(paths); }
    void setUnremovablePaths(std::optional<PathList> paths) { unremovablePaths_ = std::move(paths); }

    const std::optional<PathList>& ignoredPaths() const { return ignoredPaths_; }
    const std::optional<QStringList>& ignoredExtensions() const { return ignoredExtensions_; }
    const std::optional<PathList>& systemPaths() const { return systemPaths_; }
    const std::optional<PathList>& allowedPaths() const { return allowedPaths_; }
    const std::optional<PathList>& unremovablePaths() const { return unremovablePaths_; }

    // Not allowed, and under an ignored folder or with an ignored extension on any component.
    bool filePathIsIgnored(std::string_view path) const;
    bool fileIsIgnored(const KZFile& file) const;
    // Not allowed, and under a system path.
    bool pathIsChildOfSystemPath(std::string_view path) const;
    // Equal to an unremovable folder, a user's home folder, "/" or a folder that holds a home
    // folder (allowed paths don't override).
    bool fileIsUnremovable(const KZFile& file) const;
    bool pathIsUnremovable(std::string_view path) const;

    bool pathHasAllowedOverride(std::string_view path) const;
    bool pathIsIgnored(std::string_view path) const;
    bool pathExtensionIsIgnored(std::string_view path) const;
    // True when the lower-cased extension of this one name is in the ignored extensions.
    bool nameExtensionIsIgnored(std::string_view name) const;
    bool hasIgnoredExtensions() const { return ignoredExtensions_ && !ignoredExtensions_->isEmpty(); }

    // The home folder the user database records for the process's user.
    static std::string actualHomeDirectory();

private:
    void loadSystemPaths(const QString& resource);

    std::optional<PathList> ignoredPaths_;
    std::optional<QStringList> ignoredExtensions_;
    std::optional<PathList> systemPaths_;
    std::optional<PathList> allowedPaths_;
    std::optional<PathList> unremovablePaths_;
};
