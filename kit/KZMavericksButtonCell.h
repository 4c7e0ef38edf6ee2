#pragma once
// A button cell that draws rounded push buttons (bezel style 1) and textured rounded buttons
// (bezel style 11) in a fixed flat look; other bezel styles draw as the plain cell does.

#include "kit/KZButtonCell.h"
#include "kit/KZMavericksButtonTheme.h"

class KZMavericksButtonCell : public KZButtonCell {
public:
    enum BezelStyle { Rounded = 1, TexturedRounded = 11 };

    // The theme for a bezel style, or none.
    static std::unique_ptr<KZMavericksButtonTheme> buttonTheme(int bezelStyle);

    void drawBezel(QPainter& painter, const QRectF& frame, const KZButton& button) override;
    QRectF drawTitle(QPainter& painter, const QString& title, const QRectF& frame, const KZButton& button) override;
    QString className() const override { return QStringLiteral("KZMavericksButtonCell"); }

    // The title's style for a theme: the button's style with the theme's attributes; a
    // disabled button's colour at alpha 0.6.
    static KZTextStyle themedTitleStyle(const KZTextStyle& base, const KZTextAttributes& attributes, bool enabled);
    // The rectangle a themed title is drawn in: the frame, with y centred (minus 1) for
    // textured buttons in a control of that height.
    static QRectF themedTitleRect(const QRectF& frame, int bezelStyle, qreal controlHeight, qreal titleHeight);
};
