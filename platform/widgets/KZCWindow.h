#pragma once
// Ostrel stand-in: the framework's one kind of window, a small fixed-size window with the
// program's icon, a title, a message and two buttons. The welcome window and the
// mailing-list window are made from it. The window announces its close once, and is
// released on a later turn after closing.

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

class KZCWindow : public QWidget {
    Q_OBJECT
public:
    // The first-run welcome: "Get Started" closes it; "Join the Mailing List" opens the
    // mailing-list page.
    static KZCWindow* welcomeWindow();
    // The mailing list: "Open Sign-Up Page" opens the page and closes the window.
    static KZCWindow* mailingListWindow();

    KZCWindow(const QString& windowTitle, const QString& title, const QString& message);

    // The buttons, right to left: the default button, then the other one (optional).
    void setDefaultButton(const QString& title, std::function<void()> action);
    void setOtherButton(const QString& title, std::function<void()> action);
    QPushButton* defaultButton() const { return defaultButton_; }
    QPushButton* otherButton() const { return otherButton_; }
    QString title() const;
    QString message() const;

Q_SIGNALS:
    // The window has closed (once); it deletes itself on a later turn.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* titleLabel_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* otherButton_ = nullptr;
    bool closed_ = false;
};
