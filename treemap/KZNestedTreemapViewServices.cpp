#include "treemap/KZNestedTreemapViewServices.h"

#include "model/KZPath.h"
#include "platform/KZPathString.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QUrl>

namespace {

QUrl urlForPath(const std::string& path)
{
    return QUrl::fromLocalFile(QFile::decodeName(kz::toByteArray(path)));
}

class DesktopServices final : public KZNestedTreemapViewServices {
public:
    void revealFiles(const std::vector<std::string>& paths) override
    {
        if (paths.empty()) return;
        std::string folder = paths.front();
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        QDesktopServices::openUrl(urlForPath(kz_stringByDeletingLastPathComponent(folder)));
    }
    void openFile(const std::string& path) override { QDesktopServices::openUrl(urlForPath(path)); }
    void beep() override { QApplication::beep(); }
    void showAlert(QWidget* parent, const QString& message, const QString& informativeText,
                   const QString& button) override
    {
        auto* box = new QMessageBox(parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setIcon(QMessageBox::Warning);
        box->setText(message);
        box->setInformativeText(informativeText);
        box->addButton(button, QMessageBox::AcceptRole);
        box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        box->open();
    }
};

} // namespace

KZNestedTreemapViewServices& KZNestedTreemapViewServices::defaultServices()
{
    static DesktopServices services;
    return services;
}
