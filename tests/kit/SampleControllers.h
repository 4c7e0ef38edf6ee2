#pragma once
// Controllers used by the tests of the controller bases: one pair with interface files of
// their own name, one subclass without.

#include "kit/KZViewController.h"
#include "kit/KZWindowController.h"

#include <QStringList>

KZ_INTERFACE_CLASS(KZSampleViewController)
KZ_INTERFACE_CLASS(KZSampleWindowController)

class KZSampleViewController : public KZViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(KZSampleViewController)
public:
    QStringList calls;
    bool addButtonHadHoverAtAwake = false;

    void kz_viewWillAppear() override { calls << QStringLiteral("willAppear"); }
    void kz_viewDidAppear() override { calls << QStringLiteral("didAppear"); }
    void kz_viewWillDisappear() override { calls << QStringLiteral("willDisappear"); }
    void kz_viewDidDisappear() override { calls << QStringLiteral("didDisappear"); }
    bool keyDown(QKeyEvent* event) override;

protected:
    void awakeFromNib() override;
    void viewDidLoad() override { calls << QStringLiteral("viewDidLoad"); }
};

// A subclass with no interface file of its own name: made plainly.
class KZPlainViewController : public KZViewController {
    Q_OBJECT
public:
    int loads = 0;

protected:
    void viewDidLoad() override { ++loads; }
};

class KZSampleWindowController : public KZWindowController {
    Q_OBJECT
    KZ_INTERFACE_FILE(KZSampleWindowController)
public:
    int windowDidLoadCount = 0;
    bool awoke = false;

protected:
    void awakeFromNib() override { awoke = true; }
    void windowDidLoad() override
    {
        KZWindowController::windowDidLoad();
        ++windowDidLoadCount;
    }
};
