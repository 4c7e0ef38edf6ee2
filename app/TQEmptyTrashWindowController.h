#pragma once
// The delete sheet: deletes every queued record through the queue's deletion engine with a
// progress bar, then closes by itself, or lists the records that failed with their reasons
// until the user closes it. Its completion receives the engine's result: the records that
// went leave the queue, those that failed stay queued. It can't be dismissed while the run
// goes, and only one sheet runs at a time in the program.

#include "kit/KZWindowController.h"
#include "model/TQDeletionEngine.h"

#include <functional>

class TQEmptyTrashWindowController : public KZWindowController {
    Q_OBJECT
public:
    using CompletionBlock = std::function<void(const TQDeletionResult& result)>;

    explicit TQEmptyTrashWindowController(QObject* parent = nullptr) : KZWindowController(parent) {}

    void setCompletionBlock(CompletionBlock block) { completionBlock_ = std::move(block); }
    // Loads the sheet, which starts the run, and shows it as a sheet on the window.
    void beginSheetForWindow(QWidget* window);
    // True from the start of the run until its end has been reported.
    bool isRunning() const { return running_; }
    // True while any delete sheet of the program runs.
    static bool isAnySheetRunning();

private:
    CompletionBlock completionBlock_;
    bool running_ = false;
};
