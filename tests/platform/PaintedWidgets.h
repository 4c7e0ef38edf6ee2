#pragma once
// Widgets that paint their own content, for the accessibility tests.

#include "platform/widgets/KZAccessibleWidget.h"

#include <QWidget>

namespace platformtest {

// A counter that draws its number by hand.
class PaintedCounter : public QWidget {
    Q_OBJECT
public:
    explicit PaintedCounter(QWidget* parent = nullptr) : QWidget(parent)
    {
        KZAccessibleWidget::registerClass(staticMetaObject,
                                          {QAccessible::StaticText,
                                           [](const QWidget* w) { return static_cast<const PaintedCounter*>(w)->text; },
                                           {}});
    }
    void setText(const QString& t)
    {
        text = t;
        KZAccessibleWidget::textChanged(this);
    }
    QString text;
};

// A painted control with a name of its own when nothing else names it.
class PaintedDial : public PaintedCounter {
    Q_OBJECT
public:
    explicit PaintedDial(QWidget* parent = nullptr) : PaintedCounter(parent)
    {
        KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::Dial, {}, [](const QWidget*) {
                                                                 return QStringLiteral("Volume");
                                                             }});
    }
};

} // namespace platformtest
