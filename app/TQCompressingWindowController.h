#pragma once
// The small window that turns one set of scanned items into one zip archive beside them, with
// copy and compression progress, optional removal of the items afterwards (only once the
// archive is complete), a desktop notification and a report to its delegate when the window
// closes. Several can run at once. Every window belongs to the program-wide set of
// compression windows from its creation until its window has closed (it is then released on
// a later turn), so a running compression outlives the results screen that asked for it.

#include "kit/KZWindowController.h"
#include "model/KZFile.h"

#include <string>

class TQCompressingWindowController;

class TQCompressingWindowControllerDelegate {
public:
    virtual ~TQCompressingWindowControllerDelegate() = default;
    // The window is closing. wasCancelled: no archive was made (cancel or error).
    // originalDeleted: every original item is gone (see removedFiles() for which records went).
    virtual void compressingDidFinishForController(TQCompressingWindowController* controller,
                                                   const std::string& destinationPath, double totalSaved,
                                                   bool originalDeleted, bool wasCancelled) = 0;
};

class TQCompressingWindowController : public KZWindowController {
    Q_OBJECT
public:
    // A new controller for the records (at least one), owned by the program-wide set; its
    // window is neither loaded nor shown yet.
    static TQCompressingWindowController* controllerWithFiles(const KZFileList& files);

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

protected:
    explicit TQCompressingWindowController(QObject* parent = nullptr) : KZWindowController(parent) {}

private:
    KZFileList files_;
    KZFileList removedFiles_;
    std::string destination_;
    TQCompressingWindowControllerDelegate* delegate_ = nullptr;
    bool wasCancelled_ = false;
    bool originalDeleted_ = false;
    double totalSaved_ = 0;
};
