#pragma once
// One file-system change as the watcher (CDEvents) delivers it: an immutable record of the
// event's identifier, the moment the watcher handled it, the item's path and its flag word.
// The flag bits are those of the FSEvents event-flag word (one accessor per bit);
// docs/platform.md lists which inotify events set which bits. Records are shared, never
// changed: copy() answers the record itself.

#include <QDataStream>
#include <QDateTime>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <string>

namespace CDEventFlags {
enum : uint32_t {
    None = 0,
    MustScanSubDirs = 0x1,
    UserDropped = 0x2,
    KernelDropped = 0x4,
    EventIdsWrapped = 0x8,
    HistoryDone = 0x10,
    RootChanged = 0x20,
    Mount = 0x40,
    Unmount = 0x80,
    ItemCreated = 0x100,
    ItemRemoved = 0x200,
    ItemInodeMetaMod = 0x400,
    ItemRenamed = 0x800,
    ItemModified = 0x1000,
    ItemFinderInfoMod = 0x2000,
    ItemChangeOwner = 0x4000,
    ItemXattrMod = 0x8000,
    ItemIsFile = 0x10000,
    ItemIsDir = 0x20000,
    ItemIsSymlink = 0x40000,
};
} // namespace CDEventFlags

class CDEvent;
using CDEventPtr = std::shared_ptr<const CDEvent>;

class CDEvent : public std::enable_shared_from_this<CDEvent> {
    struct Key {};

public:
    static CDEventPtr eventWithIdentifier(uint64_t identifier, QDateTime date, std::string path, uint32_t flags);
    CDEvent(Key, uint64_t identifier, QDateTime date, std::string path, uint32_t flags);

    uint64_t identifier() const { return identifier_; }
    // When the watcher handled the event.
    const QDateTime& date() const { return date_; }
    // The item's path as bytes (no final "/"), and as a file URL (for display; a name that
    // is not UTF-8 survives only in path()).
    const std::string& path() const { return path_; }
    QUrl URL() const;
    uint32_t flags() const { return flags_; }

    bool isGenericChange() const { return flags_ == CDEventFlags::None; }
    bool mustRescanSubDirectories() const { return flags_ & CDEventFlags::MustScanSubDirs; }
    bool isUserDropped() const { return flags_ & CDEventFlags::UserDropped; }
    bool isKernelDropped() const { return flags_ & CDEventFlags::KernelDropped; }
    bool isEventIdentifiersWrapped() const { return flags_ & CDEventFlags::EventIdsWrapped; }
    bool isHistoryDone() const { return flags_ & CDEventFlags::HistoryDone; }
    bool isRootChanged() const { return flags_ & CDEventFlags::RootChanged; }
    bool didVolumeMount() const { return flags_ & CDEventFlags::Mount; }
    bool didVolumeUnmount() const { return flags_ & CDEventFlags::Unmount; }
    bool isCreated() const { return flags_ & CDEventFlags::ItemCreated; }
    bool isRemoved() const { return flags_ & CDEventFlags::ItemRemoved; }
    bool isInodeMetadataModified() const { return flags_ & CDEventFlags::ItemInodeMetaMod; }
    bool isRenamed() const { return flags_ & CDEventFlags::ItemRenamed; }
    bool isModified() const { return flags_ & CDEventFlags::ItemModified; }
    bool isFinderInfoModified() const { return flags_ & CDEventFlags::ItemFinderInfoMod; }
    bool didChangeOwner() const { return flags_ & CDEventFlags::ItemChangeOwner; }
    bool isXattrModified() const { return flags_ & CDEventFlags::ItemXattrMod; }
    bool isFile() const { return flags_ & CDEventFlags::ItemIsFile; }
    bool isDir() const { return flags_ & CDEventFlags::ItemIsDir; }
    bool isSymlink() const { return flags_ & CDEventFlags::ItemIsSymlink; }

    // The record itself (records never change).
    CDEventPtr copy() const { return shared_from_this(); }
    // Archiving: "identifier", "flags", "date" and "URL" (with the path's bytes under "path").
    void encode(QDataStream& out) const;
    static CDEventPtr decode(QDataStream& in);
    std::string description() const;

private:
    uint64_t identifier_;
    QDateTime date_;
    std::string path_;
    uint32_t flags_;
};
