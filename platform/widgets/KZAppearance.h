#pragma once
// The program's one look: the Fusion style with a fixed light palette ("Aqua"), whatever the
// desktop's colour scheme. Windows and the tooltip panel apply it when they load.

#include <QPalette>

class QWidget;

class KZAppearance {
public:
    // The light palette every window uses.
    static QPalette aquaPalette();
    // Sets the Fusion style and the light palette for the whole application.
    static void install();
    // Gives one window (and everything in it) the light palette whatever the application uses.
    static void applyAqua(QWidget* window);
    // A progress bar keeps its fill colour while its window is inactive: in the inactive
    // palette's grey a full bar looks empty.
    static void keepHighlightWhenInactive(QWidget* bar);
};
