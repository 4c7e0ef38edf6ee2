#pragma once
// The hover tooltip of the results screen's treemap: the text for a node (its name or the
// grouped names, or what an inert area holds and how such bytes are shown; its size, its
// dates), where the panel goes (below and right of the pointer, kept on the screen), and
// showing or hiding the panel.
//
// Ownership: the results screen owns it; the panel and its label belong to the screen's view
// (watched here, not owned).

#include "kit/TQTooltipPanel.h"
#include "treemap/KZTreemapNode.h"

#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QString>

class TQTreemapTooltip {
public:
    TQTreemapTooltip() = default;
    TQTreemapTooltip(TQTooltipPanel* panel, QLabel* label);

    TQTooltipPanel* panel() const { return panel_; }
    QLabel* label() const { return label_; }

    // Shows the text for the node in a panel below and right of `screenPoint`, kept on
    // `screen` (an empty rectangle: anywhere).
    void showForNode(const KZTreemapNode& node, QPointF screenPoint, const QRect& screen);
    void hide();

    // The tooltip's text for a node.
    static QString textForNode(const KZTreemapNode& node);
    // The panel's frame for text of the given size shown for a pointer at `screenPoint`.
    static QRect frame(QPointF screenPoint, QSizeF textSize, const QRect& screen);

private:
    QPointer<TQTooltipPanel> panel_;
    QPointer<QLabel> label_;
};
