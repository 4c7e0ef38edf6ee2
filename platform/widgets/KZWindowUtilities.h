#pragma once
// Window helpers: the content size of a top-level window, resizing it to a new content size
// while keeping its top edge and horizontal centre, and switching user resizing on and off.

#include <QSize>

class QWidget;

QSize kz_contentSize(const QWidget* window);
// Resizes so the content gets `size`, keeping the top edge and the horizontal centre; a
// window that would reach below the screen's available area moves up instead.
void kz_setContentSize(QWidget* window, QSize size, bool animated);
void kz_makeResizable(QWidget* window);
void kz_removeResizing(QWidget* window);
