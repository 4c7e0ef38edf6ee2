#pragma once
// The deletion engine behind the delete queue: deletes a list of file records from disk, or
// moves them to the Trash, on the background pool in chunks of 50, and reports progress and
// the end on the main thread. The background work sees snapshots of the records (path bytes,
// identity, flags), never the records themselves.
//
// What it reports is what happened:
// - a record counts as deleted only when nothing exists at its path afterwards (lstat);
// - a record whose item is no longer the one scanned (kz::FileIdentity: another device or
//   inode, or a file written anew under the old inode number) is refused;
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
    // logical sizes (st_size; links their own size, folders 0) of every file and link whose
    // last name the remover unlinked, including those of an item that partly stayed, plus
    // what each move to the Trash frees once the Trash is emptied (a file's size when none of
    // its names stays outside the Trash; a folder's whole contents so counted), measured just
    // before the move and counted when the item was gone afterwards. A file with several
    // names counts once, when its last name goes. It is measured on disk,
    // not taken from the records: a folder's record still counts a child deleted earlier,
    // but that child is not counted again when the folder goes. Items that were already gone
    // count nothing.
    double freedBytes = 0;
    // The part of freedBytes that went to the Trash: still on the disk until the Trash is
    // emptied. Items removed directly (network volumes, or the Trash not chosen) are not in it.
    double trashedBytes = 0;
};

// How far a run has come, as reported on the main thread while it goes.
struct TQDeletionProgress {
    // The share of the work done, 0 to 1 (as the plain progress handler gets it).
    double fraction = 0;
    // What has left the disk so far, counted as TQDeletionResult::freedBytes counts it; the
    // last report before the end holds the run's whole freedBytes.
    double freedBytes = 0;
    // Of that, what went to the Trash.
    double trashedBytes = 0;
    // What the items not yet gone still hold, as the scanned records measure it.
    double bytesLeft = 0;
};

class TQDeletionEngine {
public:
    using ProgressHandler = std::function<void(double fraction)>;
    using ReportHandler = std::function<void(const TQDeletionProgress& progress)>;
    using FinishedHandler = std::function<void(const TQDeletionResult& result)>;

    struct Options {
        bool useTrash = false;
        KZTrash* trash = nullptr; // nullptr: KZTrash::shared()
        size_t chunkSize = 50;
        // Asked on the worker just before each listed item goes, after the engine's own
        // checks, with the item's path without a final "/": an error keeps the item where it
        // is, under that error. Unset: every item that passes the engine's checks goes.
        std::function<std::optional<KZError>(const std::string& path)> mayRemove;
        // Seconds between the reports from inside one long removal.
        double progressInterval = 1.0 / 30;
        // The longest the main thread reads records in one turn of its event loop (seconds);
        // a longer list is read over several turns before the run starts.
        double readSliceSeconds = 0.008;
    };

    // Starts a run on the main thread. The records are read there, at once or, for a long
    // list, a slice per turn of the event loop (the list is held meanwhile: records that
    // change in between are read as they are then). Progress arrives once before each chunk,
    // while a folder is being emptied (at most one report on its way, every progressInterval),
    // and once at the end (1, also for an empty run), then the finished handler once, all on the
    // main thread; with a context, nothing arrives once it is destroyed. Progress is the
    // share of the work done, by the records and bytes the scanned tree holds for the items
    // (a folder's work is everything below it); it never goes back and is never NaN.
    static void deleteFiles(const KZFileList& files, const Options& options, ProgressHandler progressHandler,
                            FinishedHandler finishedHandler, const QObject* context = nullptr);
    // The same run, its progress reports telling the bytes gone so far and those left as well.
    static void deleteFilesWithReports(const KZFileList& files, const Options& options, ReportHandler reportHandler,
                                       FinishedHandler finishedHandler, const QObject* context = nullptr);

    // The list without the records that lie inside a listed folder (by path, whether or not
    // the record is still linked to its parent), in the list's order; a record listed twice
    // is kept once.
    static KZFileList filesWithChildrenRemovedWithFiles(const KZFileList& files);
};
