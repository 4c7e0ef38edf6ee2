#pragma once
// What the treemap view asks of the desktop: reveal items in the file manager, open an item,
// beep, and tell the user that a rescan failed. Tests give the view a fake; the default
// reveals by opening the folder that holds the first item, opens through the desktop's
// handlers, beeps through the application and shows a window-modal message box.

#include <QString>

#include <string>
#include <vector>

class QWidget;

class KZNestedTreemapViewServices {
public:
    virtual ~KZNestedTreemapViewServices() = default;

    // Paths are bytes; a folder's may end with "/".
    virtual void revealFiles(const std::vector<std::string>& paths) = 0;
    virtual void openFile(const std::string& path) = 0;
    virtual void beep() = 0;
    virtual void showAlert(QWidget* parent, const QString& message, const QString& informativeText,
                           const QString& button) = 0;

    // The services of the running desktop (one shared instance).
    static KZNestedTreemapViewServices& defaultServices();
};
