#pragma once
// How a KZButton paints itself: its bezel, image and title. The button owns one cell; the
// cell class is chosen in the interface file (the button's "cellClass" property) or in code.
// This base paints the ordinary look: the style's push-button panel when bordered, the image
// centred (darkened while pressed), the title centred in the button's text style.

#include "platform/widgets/KZTextStyle.h"

#include <QRectF>
#include <QString>

#include <memory>

class KZButton;
class QPainter;

class KZButtonCell {
public:
    virtual ~KZButtonCell() = default;

    // A new cell of the named class ("KZMavericksButtonCell", "KZNavigationButtonCell"); the
    // plain cell for an empty or unknown name.
    static std::unique_ptr<KZButtonCell> cellWithClassName(const QString& className);

    void draw(QPainter& painter, const KZButton& button);
    virtual void drawBezel(QPainter& painter, const QRectF& frame, const KZButton& button);
    virtual void drawImage(QPainter& painter, const QRectF& frame, const KZButton& button);
    // Draws the title in the frame and returns the rectangle it was drawn in.
    virtual QRectF drawTitle(QPainter& painter, const QString& title, const QRectF& frame, const KZButton& button);
    // Where the title goes in a button of this frame (right of the image when both show).
    virtual QRectF titleRect(const QRectF& frame, const KZButton& button) const;
    virtual QString className() const { return QStringLiteral("KZButtonCell"); }
};
