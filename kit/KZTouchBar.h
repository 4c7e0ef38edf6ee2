#pragma once
// The system's Touch Bar as KZTouchBarController drives it. Linux has none, so the program
// never makes one; tests give the controller a fake to watch what it would show.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

// One item the bar can show: a view under an identifier and a customization label.
struct KZCustomTouchBarItem {
    QString identifier;
    QPointer<QWidget> view; // not owned; null for an empty item
    QString customizationLabel;
};
using KZTouchBarItemPtr = std::shared_ptr<KZCustomTouchBarItem>;

class KZTouchBar : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The items on show; an empty list shows nothing.
    virtual void setTemplateItems(const std::vector<KZTouchBarItemPtr>& items) = 0;
    virtual void setDefaultItemIdentifiers(const QStringList& identifiers) = 0;
    virtual void setCustomizationAllowedItemIdentifiers(const QStringList& identifiers) = 0;
};
