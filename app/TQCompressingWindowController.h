#pragma once
// The small window that turns one set of scanned items into one zip archive beside them, with
// copy and compression progress, optional removal of the items afterwards (only once the
// archive is complete), a desktop notification and a report to its delegate when the window
// closes. Several can run at once.
//
// Ownership: whoever makes a controller owns it; the results screen hands each to the owner of
// compression windows (TQCompressionWindows, below), which the run's ledger holds: it keeps the
// controller until its window has closed and its compressor has stopped (then lets it go on a
// later turn), so a running compression outlives the results screen that asked for it, and it
// stops those still running when it goes (with the main window, when the program ends).
//
// Closing the window while it works cancels the compression; the delegate hears of it once,
// as cancelled. While the originals are being removed, neither Cancel nor a close is taken.
// The archive's name is chosen free on disk and among the windows running at once.
//
// The originals go through the deletion engine, like a confirmed delete, and only those the
// ignore list lets go; each one only while the archive is still the file the compressor
// made and read back whole, unchanged and held (no program may open it for writing meanwhile
// unnoticed: it is let go when the removal ends), and while the original is as it was when it
// was read. The
// window names every original that stayed, and why. The saving reported is what the removal
// freed on disk minus the size of the archive as it was written: negative when the archive
// outweighs what went (no original removed, those removed gone already, contents that don't
// compress), so that a run's figure is what left the disk less the archives it added.

#include "kit/KZWindowController.h"
#include "model/KZFile.h"
#include "model/KZIgnoreList.h"
#include "model/KZMemoryFormatter.h"
#include "platform/KZError.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class KZCompressedArchive;
class KZFileCompressor;
struct TQDeletionResult;

class TQCompressingWindowController;
class TQCompressionWindows;

class TQCompressingWindowControllerDelegate {
public:
    virtual ~TQCompressingWindowControllerDelegate() = default;
    // The window is closing. wasCancelled: no archive was made (cancel or error).
    // originalDeleted: every original item is gone (see removedFiles() for which records went).
    virtual void compressingDidFinishForController(TQCompressingWindowController* controller,
                                                   const std::string& destinationPath, double totalSaved,
                                                   bool originalDeleted, bool wasCancelled) = 0;
};

KZ_INTERFACE_CLASS(TQCompressingWindowController)

class TQCompressingWindowController : public KZWindowController {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQCompressingWindowController)
public:
    enum class State {
        Preparing,   // the window is up, nothing measured yet
        Copying,     // several items are being copied together
        Compressing, // zip is writing the archive
        Cancelling,  // the user asked to stop; waiting for the compressor's end
        Deleting,    // the archive is complete; the originals are being removed
        Complete,    // the archive is complete (and the originals gone, if asked)
        Failed,      // no archive: an error
        Cancelled,   // no archive: cancelled
    };

    // A new controller for the records (at least one); its window is neither loaded nor shown
    // yet. Showing it starts the compression.
    static std::unique_ptr<TQCompressingWindowController> controllerWithFiles(const KZFileList& files);

    ~TQCompressingWindowController() override;

    const KZFileList& files() const { return files_; }
    // The archive this window writes.
    const std::string& compressedFilePath() const { return destination_; }
    TQCompressingWindowControllerDelegate* delegate() const { return delegate_; }
    // Not owned; the delegate clears it before it goes.
    void setDelegate(TQCompressingWindowControllerDelegate* delegate) { delegate_ = delegate; }

    bool wasCancelled() const { return wasCancelled_; }
    bool originalDeleted() const { return originalDeleted_; }
    double totalSaved() const { return totalSaved_; }
    // The records whose items the removal after compressing took away.
    const KZFileList& removedFiles() const { return removedFiles_; }
    // The originals the removal left in place, by path, with why.
    const KZErrorTable& stayedFiles() const { return stayedFiles_; }
    // Decides which originals may never be removed, as for a confirmed delete: the owner's
    // ignore list (set before the window shows). Without one, the resource's lists decide.
    void setIgnoreList(KZIgnoreList list) { ignoreList_ = std::move(list); }
    State state() const { return state_; }

    // ---- what the run's figures count of it while it goes ----
    // True while the window works: preparing, copying, zipping, stopping, removing originals.
    bool isWorking() const;
    // What the removal of the originals has freed so far (all of it once it has ended), and
    // the part of that the Trash took.
    double freedBytes() const { return freedBytes_; }
    double trashedBytes() const { return trashedBytes_; }
    // Its share of the run's figure now: while the originals go, what they have freed less
    // the archive; once complete, totalSaved(); otherwise 0.
    double savingSoFar() const;
    // The originals' bytes still to be removed, as scanned (0 when they are to stay).
    double bytesLeftToRemove() const;
    // How far the work has come, 0 to 1.
    double workDone() const;

    // A free archive path for the files: "<name>.zip" for one item (its name without the
    // extension), "Archive.zip" for several, in the folder that holds them all; "<name> 2.zip",
    // "<name> 3.zip" ... when the name is taken on disk or by another running window. The file
    // name is built from the name's bytes and kept within 255 bytes.
    std::string destinationPath() const;
    // The size in bytes of the item at the path (not following a final link); 0 when unreadable.
    static double fileSizeForPath(const std::string& path);

    // The Cancel button: stops the compression; the window closes once it has stopped.
    void cancel();

    // Called with every new compressor before it starts (tests: zip program, intervals).
    static void setCompressorHookForTesting(std::function<void(KZFileCompressor&)> hook);

Q_SIGNALS:
    // The state changed, or the work moved on (what the accessors above answer changed).
    void activityChanged();

protected:
    explicit TQCompressingWindowController(QObject* parent = nullptr);

    void windowDidLoad() override;
    bool windowShouldClose() override;
    void windowWillClose() override;

private:
    void setState(State state);
    bool isRunning() const;
    void setHeadline(const QString& text);
    void fitHeight();
    void updateCopyProgress(double bytes);
    void updateProgress(double bytes);
    void compressorFailed(const std::optional<KZError>& error, bool cancelled);
    void compressorCompleted();
    void deleteOriginalFiles();
    void originalFilesDeleted(const TQDeletionResult& result, const KZFileList& unremovable);
    void showFailure(const QString& reason);
    void showStayedFiles();
    void finish();
    void notify(bool success);
    void closeCancelled();
    void reportToDelegate();
    void releaseWhenDone();

    KZFileList files_;
    KZFileList removedFiles_;
    KZErrorTable stayedFiles_;
    std::optional<KZIgnoreList> ignoreList_;
    std::shared_ptr<const KZCompressedArchive> archive_; // what the compressor made, once complete
    bool removalRan_ = false;                            // the originals' removal has ended
    double freedBytes_ = 0;                              // what it freed on disk (so far)
    double trashedBytes_ = 0;                            // the part of it in the Trash
    double removalFraction_ = 0;                         // how far the removal has come
    double removalLeft_ = -1;                            // what it has left, as scanned (-1: not yet told)
    double compressedBytes_ = 0;                         // the archive's size as zip writes it
    std::string destination_;
    TQCompressingWindowControllerDelegate* delegate_ = nullptr;
    bool wasCancelled_ = false;
    bool originalDeleted_ = false;
    double totalSaved_ = 0;

    State state_ = State::Preparing;
    KZMemoryFormatter memoryFormatter_;
    std::unique_ptr<KZFileCompressor> fileCompressor_;
    double total_ = 0;
    QString totalText_;
    QString headline_;
    bool deleteOriginal_ = false;   // the removal setting as it was when the work started
    bool compressorEnded_ = false;  // the compressor has reported its end
    bool reported_ = false;         // the delegate has been told
    bool releaseRequested_ = false; // the window has closed; release once the work is over
    bool released_ = false;
    TQCompressionWindows* owner_ = nullptr; // lets the controller go once it is done

    friend class TQCompressionWindows;
};

// The owner of compression windows: holds each controller it takes until the controller's
// window has closed and its compressor has stopped, then lets it go on a later turn (never
// inside the controller's own call). When the owner goes, the compressions still running
// stop, removing what they left half made, and their controllers go with it, unheard.
class TQCompressionWindows {
public:
    TQCompressionWindows() = default;
    TQCompressionWindows(const TQCompressionWindows&) = delete;
    TQCompressionWindows& operator=(const TQCompressionWindows&) = delete;
    ~TQCompressionWindows();

    // Takes the controller; answers it (null for none).
    TQCompressingWindowController* adopt(std::unique_ptr<TQCompressingWindowController> controller);
    // The controllers held now (running, or closed and waiting for their compressor to stop).
    std::vector<TQCompressingWindowController*> controllers() const;

private:
    friend class TQCompressingWindowController;
    void release(TQCompressingWindowController* controller);

    std::vector<std::unique_ptr<TQCompressingWindowController>> owned_;
};
