#pragma once
// TEMPORARY STUB until the preferences window lands.
#include "kit/KZWindowController.h"

class TQPreferencesWindowController : public KZWindowController {
    Q_OBJECT
public:
    explicit TQPreferencesWindowController(QObject* parent = nullptr) : KZWindowController(parent) {}
    void openAbout(bool animated) { (void)animated; aboutOpened = true; }
    bool aboutOpened = false;
};
