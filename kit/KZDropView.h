#pragma once
// The drop target of the main window's folder step. It takes files dragged from a file
// manager ("text/uri-list" with local file URLs) or chosen in its open panel, lets its
// delegate filter every candidate, keeps the accepted paths, and tells the delegate when a
// drag enters, leaves or is dropped. It draws nothing itself. Main thread only.

#include "kit/KZDraggingDestination.h"
#include "platform/KZAnimationClock.h"
#include "platform/widgets/KZOwnedObject.h"

#include <QFileDialog>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class KZDropView;

class KZDropViewDelegate {
public:
    virtual ~KZDropViewDelegate() = default;
    // Paths were accepted from a drop or the open panel.
    virtual void dropViewFileWasDropped(KZDropView* dropView) = 0;
    // A drag of exactly one acceptable path entered.
    virtual void dropViewDidEnter(KZDropView*) {}
    // A drag left or ended (also after a drop).
    virtual void dropViewDidExit(KZDropView*) {}
    // Whether a candidate path may be taken; everything by default.
    virtual bool dropViewShouldAcceptFile(KZDropView*, const std::string& /*path*/) { return true; }
};

class KZDropView : public QWidget, public KZDraggingDestination {
    Q_OBJECT
public:
    explicit KZDropView(QWidget* parent = nullptr);
    ~KZDropView() override;

    bool acceptingDrops() const { return acceptingDrops_; }
    void setAcceptingDrops(bool accepting) { acceptingDrops_ = accepting; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    // Not owned; the owner clears it before it goes.
    KZDropViewDelegate* delegate() const { return delegate_; }
    void setDelegate(KZDropViewDelegate* delegate) { delegate_ = delegate; }

    // The accepted paths (bytes, each once); empty at start and after clear().
    const std::vector<std::string>& filePaths() const { return filePaths_; }
    void clear() { filePaths_.clear(); }

    // Adds the acceptable paths: they replace the earlier ones, or join them when multiple
    // selection is allowed. When none is acceptable the earlier choice stays. Returns whether
    // any path was accepted.
    bool addFilePaths(const std::vector<std::string>& paths);
    bool shouldAcceptFileWithPath(const std::string& path) const;
    // The local paths a drag carries.
    static std::vector<std::string> filePathWithDraggingInfo(const QMimeData* data);

    Operation draggingEntered(const QMimeData* data) override;
    void draggingEnded() override;
    bool performDragOperation(const QMimeData* data) override;

    // The running open panel, if any.
    QFileDialog* openPanel() const { return panel_; }

public slots:
    // Runs the open panel as a sheet on the window: folders, the prompt "Choose"; it opens in
    // the folder last chosen in it, which a choice remembers (kz::prepareFolderPanel).
    void open();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void panelDidEnd(int result, const QStringList& chosen);

    bool acceptingDrops_ = true;
    bool allowsMultipleSelection_ = false;
    KZDropViewDelegate* delegate_ = nullptr;
    std::vector<std::string> filePaths_;
    // The open panel while it is open (it deletes itself when it closes).
    KZOwnedWidget<QFileDialog> panel_;
    bool dragAccepted_ = false;
    bool touchBarHidden_ = false;
    std::unique_ptr<KZAnimationClock::Timer> showTouchBarTimer_;
};
