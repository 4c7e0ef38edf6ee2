#pragma once
// How one row of the light table skin is painted: a faint white gradient with a grey line on
// top and a white line at the bottom, or a blue gradient when selected (a flat grey when the
// table is not the focus). PPTableView paints its rows and filler slots with it.

#include <QColor>
#include <QRectF>

class QPainter;

class PPTableRowView {
public:
    static void drawBackground(QPainter& painter, const QRectF& rect);
    static void drawBorders(QPainter& painter, const QRectF& rect);
    // Emphasized: the table has the keyboard focus in the active window.
    static void drawSelection(QPainter& painter, const QRectF& rect, bool emphasized);
    // The colour of a selection that is not emphasized.
    static QColor secondarySelectedControlColor();
};
