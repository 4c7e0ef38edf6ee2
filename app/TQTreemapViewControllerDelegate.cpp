// The results screen as the treemap view's delegate: colours, the hover tooltip, ignore and
// removability; removal and compression go to the removal flow.
#include "app/TQTreemapViewController.h"

#include "ui_TQTreemapViewController.h"

#include "model/KZPath.h"
#include "model/Preferences.h"
#include "platform/KZFileAccess.h"
#include "platform/KZPathString.h"
#include "treemap/KZTreemapColorRule.h"
#include "treemap/TQTheme.h"

#include <QScreen>

// ---- colours, zoom, emptiness ----

void TQTreemapViewController::treemapViewDidZoomToDirectory(KZNestedTreemapView*, const KZDirectoryPtr&, bool)
{
    setWindowTitle();
    updatePathBar();
    updateToolbarStates();
}

QColor TQTreemapViewController::treemapViewColorForNode(KZNestedTreemapView*, const KZTreemapNode& node, double percent,
                                                        bool isSelected, bool isReloading, int64_t depth)
{
    // With no theme registered (nothing but tests start that way) the first theme stands in.
    if (!selectedTheme_) selectedTheme_ = std::make_shared<TQThemeBlueSkies>();
    return KZTreemapColorRule::colorForNode(node, percent, isSelected, isReloading, depth, *selectedTheme_,
                                            Preferences::sharedPreferences().useDepth());
}

// Every change of the tree in place (a folder scanned again by the view or by the run's
// ledger, records that leave or join it) ends in a clearing reload, which lands in one of the
// two below: from there the window's title follows the total of the folder shown.
void TQTreemapViewController::treemapViewIsEmpty(KZNestedTreemapView*)
{
    if (contentView_) contentView_->setBackgroundColor(QColor());
    if (errorLabel()) errorLabel()->show();
    if (onShow_) setWindowTitle();
}

void TQTreemapViewController::treemapViewDidDraw(KZNestedTreemapView*)
{
    if (contentView_) contentView_->setBackgroundColor(Qt::black);
    if (errorLabel()) errorLabel()->hide();
    if (onShow_) setWindowTitle();
}

// ---- the hover tooltip ----

void TQTreemapViewController::treemapViewMouseMovedToPoint(KZNestedTreemapView* view, const QPointF& windowPoint,
                                                           const KZTreemapNodePtr& node)
{
    // No tooltip while the delete-queue popover exists.
    if ((removalFlow_ && removalFlow_->popover()) || !node) return;
    QPointF screenPoint(0, 0);
    QRect screen;
    if (QWidget* window = parentWindow() ? parentWindow()->window() : nullptr) {
        QWidget* viewWindow = view ? view->window() : window;
        screenPoint = viewWindow->mapToGlobal(windowPoint);
        if (QScreen* s = window->screen()) screen = s->geometry();
    }
    tooltip_.showForNode(*node, screenPoint, screen);
}

void TQTreemapViewController::treemapViewMouseExitedWithEvent(KZNestedTreemapView*, QEvent*)
{
    tooltip_.hide();
}

// ---- ignore and removability ----

bool TQTreemapViewController::treemapViewIgnoreFile(KZNestedTreemapView*, const KZFilePtr& file)
{
    // The ignore list follows the setting.
    Preferences::sharedPreferences().addIgnoredFilePaths({kz::pathToQString(kz::withoutTrailingSlash(file->path()))});
    return true;
}

bool TQTreemapViewController::treemapViewFileIsIgnored(KZNestedTreemapView*, const KZFilePtr& file)
{
    return file && ignoreList_ && ignoreList_->fileIsIgnored(*file);
}

bool TQTreemapViewController::treemapViewCanRemoveFile(KZNestedTreemapView*, const KZFilePtr& file)
{
    return file && ignoreList_ && kz_isDeletableFileAtPath(file->path()) && !ignoreList_->fileIsUnremovable(*file);
}

// ---- removal and compression ----

bool TQTreemapViewController::treemapViewRemoveFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files)
{
    return removalFlow_ && removalFlow_->removeFilesFromView(files);
}

void TQTreemapViewController::treemapViewCompressFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files)
{
    if (removalFlow_) removalFlow_->compressFiles(files);
}
