#pragma once
// The deletion engine behind the delete queue: deletes a list of file records from disk, or
// moves them to the Trash, on the background pool in chunks of 50, and reports progress and
// the end on the main thread. The background work sees snapshots of the records (path bytes,
// device, inode, flags), never the records themselves.
//
// What it reports is what happened:
// - a record counts as deleted only when nothing exists at its path afterwards (lstat);
// - a record whose item is no longer the one scanned (another device or inode) is refused;
// - "/", home folders and the folders above them are refused whatever the caller asks;
// - a failed move to the Trash is an error under the record's path, and the item stays;
// - records inside a listed folder go with it and are counted once, through the folder;
// - records whose item was already gone are neither deleted nor freed by the run;
// - the freed bytes are what left the disk, measured by the removal or just before the move
//   to the Trash, never the records' cached sizes.
// Items on network volumes never go to the Trash: they are removed directly.

#include "model/KZFile.h"
#include "platform/KZError.h"

#include <QPointer>

#include <functional>
#include <optional>

class KZTrash;

struct TQDeletionResult {
    // Why each record that is still there stayed, by the record's path; nullopt when
    // nothing failed.
    std::optional<KZErrorTable> errors;
    // Records this run removed or moved to the Trash.
    KZFileList deletedFiles;
    // Records inside a listed folder that went with it (their bytes are the folder's).
    KZFileList nestedFiles;
    // Records whose item was gone before the run reached it.
    KZFileList vanishedFiles;
    // The bytes that left the disk in this run, to be added once to a freed total: the
    // logical sizes (st_size; links their own size, folders 0) of every file and link the
    // remover unlinked, including those of an item that partly stayed, plus the logical size
    // of each item that went to the Trash (its whole contents for a folder), measured just
    // before the move and counted when the item was gone afterwards. It is measured on disk,
    // not taken from the records: a folder's record still counts a child deleted earlier,
    // but that child is not counted again when the folder goes. Items that were already gone
    // count nothing.
    double freedBytes = 0;
};

class TQDeletionEngine {
public:
    using ProgressHandler = std::function<void(double fraction)>;
    using FinishedHandler = std::function<void(const TQDeletionResult& result)>;

    struct Options {
        bool useTrash = false;
        KZTrash* trash = nullptr; // nullptr: KZTrash::shared()
        size_t chunkSize = 50;
        // Seconds between the reports from inside one long removal.
        double progressInterval = 1.0 / 30;
    };

    // Starts a run on the main thread. Progress arrives once before each chunk, while a
    // folder is being emptied (at most one report on its way, every progressInterval), and
    // once at the end (1, also for an empty run), then the finished handler once, all on the
    // main thread; with a context, nothing arrives once it is destroyed. Progress is the
    // share of the work done, by the records and bytes the scanned tree holds for the items
    // (a folder's work is everything below it); it never goes back and is never NaN.
    static void deleteFiles(const KZFileList& files, const Options& options, ProgressHandler progressHandler,
                            FinishedHandler finishedHandler, const QObject* context = nullptr);

    // The list without the records that lie inside a listed folder (by path, whether or not
    // the record is still linked to its parent), in the list's order; a record listed twice
    // is kept once.
    static KZFileList filesWithChildrenRemovedWithFiles(const KZFileList& files);
};
