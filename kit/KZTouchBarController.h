#pragma once
// Decides what the application's Touch Bar shows: a stack of items of which the last is on
// show, and a hidden state that blanks the bar for a while (the open panel, the welcome
// window). Linux has no Touch Bar: availability answers no and every operation that changes
// what is shown does nothing; the stack then stays empty. Main thread only.

#include "kit/KZTouchBar.h"

#include <QPointer>

class KZTouchBarController {
public:
    static constexpr const char* itemIdentifier = "com.zandrel.touchbar.progressview";
    static constexpr const char* customizationLabel = "Tidewell";
    static constexpr const char* otherItemsProxyIdentifier = "NSTouchBarItemIdentifierOtherItemsProxy";

    static KZTouchBarController& sharedController();

    KZTouchBarController() = default;
    KZTouchBarController(const KZTouchBarController&) = delete;
    KZTouchBarController& operator=(const KZTouchBarController&) = delete;

    // Whether the system has Touch Bars at all: never on Linux; tests switch it on.
    static bool systemHasTouchBar();
    static void setSystemHasTouchBar(bool has);

    // True when the system has Touch Bars and a bar was given.
    bool touchBarIsAvailable() const;
    KZTouchBar* touchBar() const { return touchBar_; }
    // Stores the bar (not owned) and sets its identifiers.
    void setTouchBar(KZTouchBar* bar);

    bool hidden() const { return hidden_; }
    // Hidden: an empty item shows; shown again: the top of the stack (when there is one).
    void setHidden(bool hidden);

    // Replaces the stack with one item per view and shows the last (an empty item when none).
    void setTouchBarViews(const QList<QWidget*>& views);
    // Adds an item for the view on top and shows it, hidden or not.
    void pushTouchBarView(QWidget* view);
    KZTouchBarItemPtr touchBarItemWithView(QWidget* view) const;
    void setCurrentTouchBarItem(const KZTouchBarItemPtr& item);

    const std::vector<KZTouchBarItemPtr>& stack() const { return stackArray_; }

private:
    bool hidden_ = false;
    QPointer<KZTouchBar> touchBar_;
    std::vector<KZTouchBarItemPtr> stackArray_;
};
