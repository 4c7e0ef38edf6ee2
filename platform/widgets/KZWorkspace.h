#pragma once
// The desktop workspace: file icons (fetched off the main thread, delivered on it), revealing
// items in the file manager, opening files and web pages. Behind an interface so tests can
// record what would have been opened.

#include <QIcon>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

class KZWorkspace {
public:
    virtual ~KZWorkspace() = default;

    // Shows the items selected in the file manager (D-Bus FileManager1), else opens the
    // folder that holds the first one.
    virtual void revealInFileManager(const std::vector<std::string>& paths) = 0;
    // Opens the item with its default application; false when nothing could open it.
    virtual bool openFile(const std::string& path) = 0;
    // Opens a web page in the browser.
    virtual bool openURL(const QUrl& url) = 0;

    static KZWorkspace& shared();
    // Replaces the shared workspace (tests); null restores the real one.
    static void setShared(KZWorkspace* workspace);
};

class KZDesktopWorkspace : public KZWorkspace {
public:
    void revealInFileManager(const std::vector<std::string>& paths) override;
    bool openFile(const std::string& path) override;
    bool openURL(const QUrl& url) override;
};

// Records calls instead of making them (tests).
class KZRecordingWorkspace : public KZWorkspace {
public:
    void revealInFileManager(const std::vector<std::string>& paths) override { revealed.push_back(paths); }
    bool openFile(const std::string& path) override
    {
        opened.push_back(path);
        return true;
    }
    bool openURL(const QUrl& url) override
    {
        urls.push_back(url);
        return true;
    }
    std::vector<std::vector<std::string>> revealed;
    std::vector<std::string> opened;
    std::vector<QUrl> urls;
};

// The generic document icon.
QIcon kz_genericFileIcon();
// The icon of the item at the path: its type is read in the background, the icon is made and
// handed to the block on the main thread (dropped if the context object is gone).
void kz_asyncIconForFile(const std::string& path, const QObject* context, std::function<void(const QIcon&)> block);
// The icon of the item at the path, read now (main thread; a folder's or a file type's icon).
QIcon kz_iconForFile(const std::string& path);
// The icon of a file type given by its extension ("zip").
QIcon kz_iconForFileType(const QString& extension);
// The icon name for an item's type (what kz_asyncIconForFile resolves); runs on any thread.
QString kz_iconNameForFile(const std::string& path);
