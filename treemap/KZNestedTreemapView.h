#pragma once
// The nested treemap: shows the folder `directory()` as nested rectangles whose areas follow
// the sizes, coloured by its delegate, with labels; handles hover, clicks with Shift and Ctrl
// (selection), double clicks and the context menu, the zoom stack, the actions on the
// selection (open, reveal, ignore, compress, delete) and the rescan of single folders in
// place. It edits the tree it is given in place. Everything happens on the main thread.
//
// With the keyboard focus (a click or Tab), the keys move the selection among the nodes laid
// out side by side (the arrows: the nearest one that way; Tab and Shift+Tab: the next and the
// previous in drawing order, then on out of the view), Return zooms into the selected folder,
// Backspace zooms out, the Menu key or Shift+F10 opens the context menu at the selection, and
// Delete asks the owner to delete the selection (deleteRequested). Inert areas are never
// selected (the pointer over one is reported for its tooltip; a click there is on its
// folder). A focus ring marks the selected node once the keyboard is used. Assistive
// technology reads the drawn nodes through KZTreemapAccessibility.
//
// Owned by the results screen, which sets itself as delegate (not owned; cleared by the
// owner). The view owns its node lists, its painter and its running rescans, which it cancels
// when it goes. It reveals and opens items through the shared workspace and reports a failed
// rescan through the shared alert service.

#include "model/KZFile.h"
#include "model/KZTimer.h"
#include "model/Preferences.h"
#include "treemap/KZTreemapLayout.h"
#include "treemap/KZTreemapNodeLists.h"
#include "treemap/KZTreemapPainter.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class KZFileScanner;
class KZNestedTreemapViewDelegate;
class QMenu;

class KZNestedTreemapView : public QWidget {
    Q_OBJECT
public:
    // Texts of the context menu and of the rescan failure.
    static inline const QString RefreshDirectoryTitle = QStringLiteral("Refresh Directory");
    static inline const QString ZoomToDirectoryTitle = QStringLiteral("Zoom to Directory");
    static inline const QString ShowInFileManagerTitle = QStringLiteral("Show in File Manager");
    static inline const QString OpenWithFileManagerTitle = QStringLiteral("Open with File Manager");
    static inline const QString AddToIgnoreListTitle = QStringLiteral("Add to Ignore List");
    static inline const QString CompressDirectoryTitle = QStringLiteral("Compress Directory");
    static inline const QString CompressFileTitle = QStringLiteral("Compress File");
    static inline const QString DeleteDirectoryTitle = QStringLiteral("Delete Directory");
    static inline const QString DeleteFileTitle = QStringLiteral("Delete File");
    static inline const QString RescanFailedMessage = QStringLiteral("Could not reload directory");
    static inline const QString RescanFailedInformativeText =
        QStringLiteral("The file scanner encountered an error while scanning.");
    static inline const QString RescanFailedButton = QStringLiteral("Okay");

    // Live resize ends when no resize came for this long (milliseconds).
    static constexpr int kLiveResizeEndDelay = 200;
    // The rescans' progress repaints at most this often (milliseconds apart, on the program's
    // clock), however many rescans report.
    static constexpr int kProgressRepaintInterval = 33;

    // Keeps the folder as the one shown; builds nothing until reloadData().
    explicit KZNestedTreemapView(KZDirectoryPtr directory, QWidget* parent = nullptr);
    ~KZNestedTreemapView() override;

    KZNestedTreemapViewDelegate* delegate() const { return delegate_; }
    void setDelegate(KZNestedTreemapViewDelegate* delegate) { delegate_ = delegate; }
    // What a request that can't be met does (the shared beep, kz_beep, unless replaced).
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    // The settings read for the minimum file size (the shared settings when none is set).
    void setPreferences(Preferences* preferences) { preferences_ = preferences; }

    // The folder shown at top level (changes on every zoom) and the scanned root.
    const KZDirectoryPtr& directory() const { return directory_; }
    const KZDirectoryPtr& rootDirectory() const { return root_; }
    // The records of the selected nodes (grouped nodes contribute nothing), in selection order.
    const std::vector<KZFilePtr>& selectedFiles() const { return selectedFiles_; }
    const std::vector<KZTreemapNodePtr>& clickedNodes() const { return clickedNodes_; }

    bool showsHiddenFiles() const { return lists_.showsHiddenFiles(); }
    void setShowsHiddenFiles(bool shows);
    bool showsSystemFiles() const { return lists_.showsSystemFiles(); }
    void setShowsSystemFiles(bool shows);
    bool canZoomOut() const { return canZoomOut_; }
    // The folders shown before each zoom, the last pushed at the end.
    const std::vector<KZDirectoryPtr>& zoomStack() const { return zoomedNodes_; }

    // Clears the selection; with `clear`, rebuilds the node lists from the tree (and tells the
    // delegate whether anything is shown); then lays out and redraws.
    void reloadData() { reloadDataShouldClear(true); }
    void reloadDataShouldClear(bool clear);
    void clearSelection();

    // Zooms into the one selected folder (a grouped node: its folder); beeps for a folder
    // being rescanned or without children.
    void zoomIn();
    // Shows the folder at top level, pushing the one shown; beeps for a folder being rescanned.
    void zoomToDirectory(const KZDirectoryPtr& folder);
    // Shows the last folder of the zoom stack that is still in the tree; false when the stack
    // is empty.
    bool zoomOut();

    // Rescans every selected plain folder in place.
    void reloadSelectedDirectory();
    void openSelectedFileWithFinder() { openInFinder(); }
    void showSelectedFileInFinder() { showInFinder(); }
    void ignoreSelectedFile() { addToIgnoreList(); }
    void compressSelectedFile() { compressNode(); }
    void deleteSelectedFile();

    // Selection. A node added drops every selected node whose record lies inside its record
    // or holds it. Each call reports one change at most.
    void setClickedNode(const KZTreemapNodePtr& node);
    void addClickedNode(const KZTreemapNodePtr& node);
    void removeClickedNode(const KZTreemapNodePtr& node);
    void removeAllClickedNodes();

    // The node whose painted rectangle is innermost under the point (view coordinates).
    KZTreemapNodePtr treemapNodeAt(const QPointF& point);
    // The rectangles of the current layout (laid out now when stale).
    const std::vector<KZTreemapDrawItem>& drawItems();
    KZTreemapNodeLists& nodeLists() { return lists_; }
    // True while resize events keep coming.
    bool isInLiveResize() const { return liveResize_; }
    // The context menu for the point (selecting what is there), or null when there is none.
    // The caller owns the menu.
    QMenu* menuForPoint(const QPoint& point, QEvent* event = nullptr);
    // The context menu of a drawn node (selecting it alone), or null when there is none.
    QMenu* menuForNode(const KZTreemapNodePtr& node, QEvent* event = nullptr);
    // Opens the node's context menu over its rectangle (the keyboard's and assistive
    // technology's way to it); the menu, or null when there is none (it closes and goes by
    // itself).
    QMenu* popUpMenuForNode(const KZTreemapNodePtr& node);

    // The nesting of the current layout's items (laid out now when stale).
    const KZTreemapItemTree& itemTree();
    // The node the keys act from: the last selected node that is drawn, or null.
    KZTreemapNodePtr keyboardNode();
    // Whether the focus ring is drawn (the view has the focus and the keyboard was used).
    bool showsFocusRing() const { return hasFocus() && keyboardFocus_; }
    // Paints the current layout (as paintEvent does) into any paint device.
    void paintTreemap(QPainter& painter);

Q_SIGNALS:
    // The selection changed; selectedFiles() holds its final state.
    void selectedFilesChanged();
    // The Delete key was pressed over a selection: the owner deletes it as its own Delete
    // command does (the view deletes nothing by itself on a key).
    void deleteRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Groups selection edits so that observers hear of the final state once.
    class SelectionChange;
    friend class SelectionChange;

    void mouseDown(QMouseEvent* event, int clickCount);
    void mouseExited(QEvent* event);
    void doubleClick(const KZTreemapNodePtr& node);
    void openInFinder();
    void showInFinder();
    void addToIgnoreList();
    void compressNode();
    void reloadDirectoryNode(const KZTreemapNodePtr& node);
    void rescanFinished(const KZDirectoryPtr& folder, const std::string& path, const KZFileList* files);
    void releaseRescan(const std::string& path);
    void endLiveResize();
    void invalidateLayout();
    bool isInTree(const KZDirectory* folder) const;
    std::vector<KZFilePtr> filesOfSelection() const;
    void beep() const;
    Preferences& preferences() const;
    void selectionEdited() { selectionEdited_ = true; }
    // Keyboard: selects a drawn item (as a click does) and shows it; -1 does nothing.
    void selectItemFromKeyboard(int index);
    bool moveSelectionToSibling(bool forward);
    void zoomFromKeyboard(bool in);
    void drawFocusRing(QPainter& painter);

    KZNestedTreemapViewDelegate* delegate_ = nullptr;
    std::function<void()> beep_;
    QPointer<Preferences> preferences_;

    KZDirectoryPtr root_;
    KZDirectoryPtr directory_;
    bool canZoomOut_ = false;
    std::vector<KZDirectoryPtr> zoomedNodes_;
    std::vector<KZTreemapNodePtr> clickedNodes_;
    std::vector<KZFilePtr> selectedFiles_;
    int selectionChangeDepth_ = 0;
    bool selectionEdited_ = false;

    KZTreemapNodeLists lists_;
    KZTreemapPainter painter_;
    std::vector<KZTreemapDrawItem> items_;
    bool layoutValid_ = false;
    std::optional<KZTreemapItemTree> itemTree_;
    bool keyboardFocus_ = false;
    std::vector<KZTreemapNodePtr> selectionBefore_; // while a change runs and someone listens

    bool liveResize_ = false;
    QTimer liveResizeTimer_;
    KZTimer progressRepaint_; // one pending repaint for every rescan's progress
    std::unordered_map<std::string, std::shared_ptr<KZFileScanner>> rescans_;
};
