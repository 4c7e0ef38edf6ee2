// The results screen as the treemap view's delegate: colours, the hover tooltip, ignore,
// removability, the delete-queue question and queue mode, compression and its bookkeeping.
#include "app/TQTreemapViewController.h"

#include "ui_TQTreemapViewController.h"

#include "app/TQDeleteQueueViewController.h"
#include "kit/KZView.h"
#include "kit/TQTooltipPanel.h"
#include "model/KZMemoryFormatter.h"
#include "model/KZPath.h"
#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZFileAccess.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/KZTreemapColorRule.h"
#include "treemap/TQTheme.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

// Shared by every results screen: the tooltip's size formatter and date format.
const KZMemoryFormatter& tooltipFormatter()
{
    static const KZMemoryFormatter formatter;
    return formatter;
}

QString formatTooltipDate(const QDateTime& date)
{
    if (!date.isValid()) return {};
    return QLocale().toString(date, QStringLiteral("MMMM dd, yyyy 'at' hh:mm AP"));
}

} // namespace

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

void TQTreemapViewController::treemapViewIsEmpty(KZNestedTreemapView*)
{
    if (contentView_) contentView_->setBackgroundColor(QColor());
    if (errorLabel()) errorLabel()->show();
}

void TQTreemapViewController::treemapViewDidDraw(KZNestedTreemapView*)
{
    if (contentView_) contentView_->setBackgroundColor(Qt::black);
    if (errorLabel()) errorLabel()->hide();
}

// ---- the hover tooltip ----

QString TQTreemapViewController::tooltipTextForNode(const KZTreemapNode& node)
{
    QString title;
    double size = 0;
    if (const KZFilePtr& file = node.file()) {
        title = file->fileName();
        size = file->fileSize();
    } else if (!node.files().empty()) {
        const auto& files = node.files();
        title = QStringLiteral("Grouped files:\n------------\n");
        const size_t listed = files.size() >= 16 ? 10 : files.size();
        for (size_t i = 0; i < listed; ++i) title += files[i]->fileName() + QLatin1Char('\n');
        if (files.size() >= 16) title += QStringLiteral("... and %1 more\n").arg(qlonglong(files.size() - 10));
        size = node.fileSize();
    } else {
        title = QStringLiteral("%1 total items").arg(qlonglong(node.totalFiles()));
        size = node.fileSize();
    }
    QString text = QStringLiteral("%1\nSize: %2").arg(title, tooltipFormatter().stringFromBytes(size));
    if (const KZFilePtr& file = node.file()) {
        if (const QString created = formatTooltipDate(file->creationDate()); !created.isEmpty())
            text += QStringLiteral("\nCreated: %1").arg(created);
        if (const QString modified = formatTooltipDate(file->modificationDate()); !modified.isEmpty())
            text += QStringLiteral("\nModified: %1").arg(modified);
    }
    return text;
}

QRect TQTreemapViewController::tooltipFrame(QPointF screenPoint, QSizeF textSize, const QRect& screen)
{
    const double width = std::ceil(textSize.width()) + 15;
    const double height = std::ceil(textSize.height()) + 5;
    // The panel's top edge lies 20 points below the pointer, its left edge 10 to the right.
    QRectF frame(screenPoint.x() + 10, screenPoint.y() + 20, width, height);
    if (!screen.isEmpty()) {
        const double screenRight = screen.x() + screen.width();
        const double screenBottom = screen.y() + screen.height();
        if (frame.right() > screenRight) frame.moveLeft(frame.left() - width);
        if (frame.bottom() > screenBottom) frame.moveTop(screenBottom - height);
    }
    return frame.toAlignedRect();
}

void TQTreemapViewController::treemapViewMouseMovedToPoint(KZNestedTreemapView* view, const QPointF& windowPoint,
                                                           const KZTreemapNodePtr& node)
{
    // No tooltip while the delete-queue popover exists.
    if (popover_ || !node) return;
    TQTooltipPanel* panel = tooltipWindow();
    QLabel* label = tooltipLabel();
    if (!panel || !label) return;

    QPointF screenPoint(0, 0);
    QRect screen;
    if (QWidget* window = parentWindow() ? parentWindow()->window() : nullptr) {
        QWidget* viewWindow = view ? view->window() : window;
        screenPoint = viewWindow->mapToGlobal(windowPoint);
        if (QScreen* s = window->screen()) screen = s->geometry();
    }
    const QString text = tooltipTextForNode(*node);
    const QSizeF textSize = QFontMetricsF(label->font()).size(0, text);
    label->setText(text);
    panel->setGeometry(tooltipFrame(screenPoint, textSize, screen));
    if (!panel->isVisible()) panel->show();
    panel->raise();
}

void TQTreemapViewController::treemapViewMouseExitedWithEvent(KZNestedTreemapView*, QEvent*)
{
    hideTooltip();
}

// ---- ignore and removability ----

bool TQTreemapViewController::treemapViewIgnoreFile(KZNestedTreemapView*, const KZFilePtr& file)
{
    Preferences::sharedPreferences().addIgnoredFilePaths({kz::pathToQString(kz::withoutTrailingSlash(file->path()))});
    refreshIgnoreList();
    return true;
}

bool TQTreemapViewController::treemapViewFileIsIgnored(KZNestedTreemapView*, const KZFilePtr& file)
{
    return file && ensureIgnoreList().fileIsIgnored(*file);
}

bool TQTreemapViewController::treemapViewCanRemoveFile(KZNestedTreemapView*, const KZFilePtr& file)
{
    return file && kz_isDeletableFileAtPath(file->path()) && !ensureIgnoreList().fileIsUnremovable(*file);
}

// ---- removal: the queue question, queue mode, or the confirmed delete ----

bool TQTreemapViewController::treemapViewRemoveFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files)
{
    if (files.empty()) return false;
    Preferences& prefs = Preferences::sharedPreferences();
    if (!prefs.hasAskedToUseDeleteQueue()) {
        prefs.setHasAskedToUseDeleteQueue(true);
        KZAlert alert;
        alert.messageText = UseQueueMessage;
        alert.informativeText = UseQueueInformative;
        alert.buttons = {YesButton, NoButton};
        if (KZAlertService::shared().runModal(alert).response == KZAlertFirstButtonReturn)
            prefs.setUseDeleteQueue(true);
    }
    if (!prefs.useDeleteQueue()) {
        // The deletion runs in the background; the records that went leave the tree when it
        // ends, so the view must not take them out now.
        removeFiles(files);
        return false;
    }

    // Queue mode: the records leave the tree (their folders keep their totals) but keep a
    // link to the folder they came from, held here, so they can be put back.
    for (const KZFilePtr& file : files) {
        KZDirectory* parent = file->parent();
        if (!parent) continue;
        KZDirectoryPtr folder(parent);
        file->deleteFromParent();
        file->setParent(folder.get());
        queuedFolders_[file.get()] = {file, std::move(folder)};
    }
    TQDeleteQueue::sharedInstance().addFilesToQueue(files);
    showDeleteQueue(toolbarButton(DeleteQueueItem));
    if (treemapView_) treemapView_->reloadData();
    return false;
}

// ---- compression ----

void TQTreemapViewController::treemapViewCompressFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files)
{
    if (files.empty()) return;
    TQCompressingWindowController* compression = TQCompressingWindowController::controllerWithFiles(files);
    if (!compression) return;
    // The originals pass the rule of a confirmed delete.
    compression->setIgnoreList(ensureIgnoreList());
    // Listening before the window shows, so that even an immediate end is heard.
    compression->setDelegate(this);
    compressingWindowControllers_.emplace_back(compression);
    ledger().compressionStarted(compression);
    compression->showWindow();
}

void TQTreemapViewController::compressingDidFinishForController(TQCompressingWindowController* controller,
                                                                const std::string& destinationPath, double totalSaved,
                                                                bool originalDeleted, bool wasCancelled)
{
    if (!controller) return;
    if (controller->delegate() == this) controller->setDelegate(nullptr);
    std::erase_if(compressingWindowControllers_,
                  [controller](const QPointer<TQCompressingWindowController>& c) { return !c || c == controller; });
    // The ledger applies the outcome to the tree and the run's totals; the screen keeps its
    // own count.
    ledger().applyCompression(controller, destinationPath, totalSaved, originalDeleted, wasCancelled);
    if (wasCancelled) return;
    totalCompressed_ += double(controller->files().size());
    // What the removal freed on disk less the archive, also when only some originals went.
    noteFreed(totalSaved);
}
