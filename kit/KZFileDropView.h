#pragma once
// The frame of the drop zone: a dashed rounded border that runs like marching ants while a
// drag hovers (startAnimation / stopAnimation). The border follows the view's current size.

#include "platform/KZAnimationClock.h"

#include <QColor>
#include <QPainterPath>
#include <QWidget>

#include <memory>

class KZFileDropView : public QWidget {
    Q_OBJECT
public:
    explicit KZFileDropView(QWidget* parent = nullptr);
    ~KZFileDropView() override;

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return timer_ != nullptr; }
    // One step of the ants: the phase runs 1, 2, ... 9, 0.
    void tick();

    double phase() const { return phase_; }
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(const QColor& color);
    // The border for a view of the given size: inset 1.5, corner radius 7.
    static QPainterPath dropPath(QSizeF size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double phase_ = 0;
    QColor strokeColor_;
    std::unique_ptr<KZAnimationClock::Timer> timer_;
};
