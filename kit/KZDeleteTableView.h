#pragma once
// A table that hands the Delete and Backspace keys to a delegate (the preferences window's
// ignored-folders list removes the selected entries). Every other key behaves as usual.

#include <QPointer>
#include <QTableView>

class KZDeleteTableView;

class KZDeleteTableViewDelegate {
public:
    virtual ~KZDeleteTableViewDelegate() = default;
    virtual void tableViewDeleteFromKeyboard(KZDeleteTableView* tableView) = 0;
};

class KZDeleteTableView : public QTableView {
    Q_OBJECT
public:
    explicit KZDeleteTableView(QWidget* parent = nullptr);

    // Not owned; the owner clears it before it goes.
    KZDeleteTableViewDelegate* deleteDelegate() const { return deleteDelegate_; }
    void setDeleteDelegate(KZDeleteTableViewDelegate* delegate) { deleteDelegate_ = delegate; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    KZDeleteTableViewDelegate* deleteDelegate_ = nullptr;
};
