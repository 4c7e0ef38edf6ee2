#include "platform/widgets/KZAppearance.h"

#include <QApplication>
#include <QWidget>

QPalette KZAppearance::aquaPalette()
{
    QPalette p;
    const QColor window(236, 236, 236);
    const QColor text(0, 0, 0);
    const QColor base(255, 255, 255);
    const QColor button(246, 246, 246);
    const QColor highlight(48, 140, 198);
    const QColor disabledText(128, 128, 128);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, QColor(245, 245, 245));
        p.setColor(group, QPalette::ToolTipBase, QColor(245, 247, 196));
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, disabledText);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, button);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Light, Qt::white);
        p.setColor(group, QPalette::Midlight, QColor(226, 226, 226));
        p.setColor(group, QPalette::Mid, QColor(184, 184, 184));
        p.setColor(group, QPalette::Dark, QColor(160, 160, 160));
        p.setColor(group, QPalette::Shadow, QColor(96, 96, 96));
        p.setColor(group, QPalette::Link, QColor(0, 104, 218));
        p.setColor(group, QPalette::LinkVisited, QColor(85, 26, 139));
    }
    p.setColor(QPalette::Active, QPalette::Highlight, highlight);
    p.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(212, 212, 212));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(245, 245, 245));
    p.setColor(QPalette::Disabled, QPalette::Button, button);
    p.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(212, 212, 212));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabledText);
    return p;
}

void KZAppearance::install()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(aquaPalette());
}

void KZAppearance::applyAqua(QWidget* window)
{
    if (!window) return;
    window->setPalette(aquaPalette());
}

void KZAppearance::keepHighlightWhenInactive(QWidget* bar)
{
    if (!bar) return;
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    bar->setPalette(palette);
}
