#pragma once
// What the treemap view asks and reports: node colours, whether an item is left out or may be
// deleted, the requests to ignore, compress and delete the selection, zoom changes, pointer
// movement and whether anything is shown. The view decides no policy of its own. The results
// screen is the delegate; the view holds it without ownership and its owner clears it before
// going away. Every call comes on the main thread.

#include "model/KZFile.h"
#include "treemap/KZTreemapNode.h"

#include <QColor>
#include <QPointF>

#include <cstdint>
#include <vector>

class KZNestedTreemapView;
class QEvent;

class KZNestedTreemapViewDelegate {
public:
    virtual ~KZNestedTreemapViewDelegate() = default;

    // After a zoom: the folder now shown and whether the zoom stack is not empty.
    virtual void treemapViewDidZoomToDirectory(KZNestedTreemapView* view, const KZDirectoryPtr& directory,
                                               bool canGoUp) = 0;
    // The colour of a node being drawn (an invalid colour: no fill and no outline). percent is
    // the node's drawn area over the area of the rectangle it lies in; depth 0 is top level.
    virtual QColor treemapViewColorForNode(KZNestedTreemapView* view, const KZTreemapNode& node, double percent,
                                           bool isSelected, bool isReloading, int64_t depth) = 0;
    // A clearing reload found nothing to show (no bytes: inert areas alone are something).
    virtual void treemapViewIsEmpty(KZNestedTreemapView* view) = 0;
    // A clearing reload found something to show.
    virtual void treemapViewDidDraw(KZNestedTreemapView* view) = 0;
    // The pointer moved over a node that is not being rescanned (an inert area too, though it
    // takes no click); the point is in the coordinates of the view's window.
    virtual void treemapViewMouseMovedToPoint(KZNestedTreemapView* view, const QPointF& windowPoint,
                                              const KZTreemapNodePtr& node) = 0;
    // The pointer left the view or any node, a press began, or a context menu is being built.
    virtual void treemapViewMouseExitedWithEvent(KZNestedTreemapView* view, QEvent* event) = 0;
    // Ignore the file from now on; true when it is now ignored (the view then takes it out).
    virtual bool treemapViewIgnoreFile(KZNestedTreemapView* view, const KZFilePtr& file) = 0;
    // True to leave the item out of the treemap.
    virtual bool treemapViewFileIsIgnored(KZNestedTreemapView* view, const KZFilePtr& file) = 0;
    // Compress the records (distinct, at least one).
    virtual void treemapViewCompressFiles(KZNestedTreemapView* view, const std::vector<KZFilePtr>& files) = 0;
    // True to offer deleting the file.
    virtual bool treemapViewCanRemoveFile(KZNestedTreemapView* view, const KZFilePtr& file) = 0;
    // Delete the records (distinct, at least one); true when the view is to take them out of
    // the tree.
    virtual bool treemapViewRemoveFiles(KZNestedTreemapView* view, const std::vector<KZFilePtr>& files) = 0;
};
