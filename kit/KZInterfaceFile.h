#pragma once
// Interface files: every controller class that has one owns a Qt Designer form of its own
// name (resources/ui/<Class>.ui, compiled by uic). Kit widgets placed in a form are promoted
// widgets; those that finish their set-up after the form has set their properties implement
// KZAwakeFromNib, which runs once the whole form is built.
//
// A controller with a form writes, before its class:      KZ_INTERFACE_CLASS(MyController)
//                      in its class body:                 KZ_INTERFACE_FILE(MyController)
//                      in its source, after "ui_MyController.h": KZ_INTERFACE_FILE_IMPL(MyController)
// and reaches its outlets through ui().

#include <QWidget>

#include <memory>
#include <type_traits>

class KZAwakeFromNib {
public:
    virtual ~KZAwakeFromNib() = default;
    virtual void awakeFromNib() = 0;
};

namespace kz {

// Calls awakeFromNib on the root and every widget under it that implements it, parents first.
void awakeInterface(QWidget* root);

template <class U, class W>
W* interfaceRootOf(void (U::*)(W*));
// The widget class at the top of a form (QWidget, QMainWindow, QDialog ...).
template <class Ui>
using InterfaceRoot = std::remove_pointer_t<decltype(interfaceRootOf(&Ui::setupUi))>;

// Builds the form on a new parentless root widget (shown by nobody until it is placed) and
// wakes its widgets.
template <class Ui>
QWidget* loadInterface(Ui& ui)
{
    auto* root = new InterfaceRoot<Ui>;
    ui.setupUi(root);
    awakeInterface(root);
    return root;
}

} // namespace kz

#define KZ_INTERFACE_CLASS(Class)                                                                                      \
    namespace Ui {                                                                                                     \
    class Class;                                                                                                       \
    }

#define KZ_INTERFACE_FILE(Class)                                                                                       \
public:                                                                                                                \
    Ui::Class* ui() const                                                                                              \
    {                                                                                                                  \
        return ui_.get();                                                                                              \
    }                                                                                                                  \
                                                                                                                       \
protected:                                                                                                             \
    QWidget* loadInterface() override;                                                                                 \
                                                                                                                       \
private:                                                                                                               \
    std::shared_ptr<Ui::Class> ui_;

#define KZ_INTERFACE_FILE_IMPL(Class)                                                                                  \
    QWidget* Class::loadInterface()                                                                                    \
    {                                                                                                                  \
        ui_ = std::make_shared<Ui::Class>();                                                                           \
        return kz::loadInterface(*ui_);                                                                                \
    }
