#pragma once
// The background of the delete-queue popover's content: inside a rounded outline, a 30-pixel
// band at the top (white fading to light grey, under the title) and one at the bottom (under
// the buttons), each parted from the table by a dark line. Placed in the popover's interface
// file.

#include <QWidget>

class TQDeleteQueueBackgroundView : public QWidget {
    Q_OBJECT
public:
    static constexpr int bandHeight = 30;
    static constexpr double cornerRadius = 4.0;

    explicit TQDeleteQueueBackgroundView(QWidget* parent = nullptr);

    // Only redraws: the popover draws its own arrow.
    void setShowsArrow(bool showsArrow);

protected:
    void paintEvent(QPaintEvent* event) override;
    void drawTopContentBorderInRect(QPainter& painter, const QRectF& rect);
    void drawBottomContentBorderInRect(QPainter& painter, const QRectF& rect);
};
