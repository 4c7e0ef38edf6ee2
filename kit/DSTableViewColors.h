#pragma once
// The colours of the light table skin (PPTableView, PPTableRowView).

#include <QColor>

namespace DSTableViewColors {
QColor cellGradientStart();
QColor cellGradientEnd();
QColor borderTop();
QColor borderBottom();
QColor selectionBorderTop();
QColor selectionBorderBottom();
QColor selectionStart();
QColor selectionEnd();
} // namespace DSTableViewColors
