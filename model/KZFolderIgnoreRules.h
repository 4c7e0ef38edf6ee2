#pragma once
// The answers of an ignore list for the items of one folder, worked out once per folder so
// that a scan does not test every item's whole path against every list entry. An allowed,
// ignored or system ancestor settles the answer for every child at once, and only the list
// entries that lie below the folder can still match a child's name. The answers are exactly
// those of KZIgnoreList::filePathIsIgnored and pathIsChildOfSystemPath for the item's path.
//
// Rules are immutable snapshots of the lists they were made from, shared between folders
// where nothing changes; the scanner makes them for the root and derives them per folder on
// its worker threads.

#include <QStringList>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class KZIgnoreList;

class KZFolderIgnoreRules {
public:
    using Ptr = std::shared_ptr<const KZFolderIgnoreRules>;
    struct Answer {
        bool ignored = false;
        bool system = false;
    };

    // Rules for the items of the folder at `folderPath` (bytes; a final "/" is added when
    // missing).
    static Ptr forFolder(const KZIgnoreList& list, std::string_view folderPath);
    // Rules for the items of this folder's child folder `name`; `self` itself when nothing
    // changes.
    static Ptr forChildFolder(const Ptr& self, std::string_view name);

    // The answers for the item called `name` in this folder.
    Answer answerForItem(std::string_view name) const;

private:
    // One list as seen from the folder: whether the folder lies under one of its entries,
    // and the rest of each entry that lies below the folder (ending with "/").
    struct Entries {
        bool covered = false;
        std::vector<std::string> below;
        bool matches(std::string_view name) const;
        Entries descend(std::string_view name) const;
    };
    // The user's ignored extensions, compared as KZIgnoreList compares them.
    struct Extensions {
        QStringList all;
        std::vector<std::string> ascii; // the entries that are plain ASCII, as bytes
        bool nameIsIgnored(std::string_view name) const;
    };

    void settle();

    Entries allowed_;
    Entries ignored_;
    Entries system_;
    bool extensionCovered_ = false;
    std::shared_ptr<const Extensions> extensions_; // null: no ignored extensions
};
