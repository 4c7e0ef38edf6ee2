#pragma once
// The cell of the wizard's Back and Next buttons: the title black (grey when disabled), kerned
// and engraved, nudged three pixels towards its arrow: right for tag 1, left otherwise.

#include "kit/KZButtonCell.h"

class KZNavigationButtonCell : public KZButtonCell {
public:
    QRectF drawTitle(QPainter& painter, const QString& title, const QRectF& frame, const KZButton& button) override;
    QString className() const override { return QStringLiteral("KZNavigationButtonCell"); }

    static KZTextStyle navigationTitleStyle(const KZTextStyle& base, bool enabled);
    static QRectF navigationTitleRect(const QRectF& frame, int tag);
};
