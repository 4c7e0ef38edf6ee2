#pragma once
// The background of the status panel in the main window's toolbar: the image
// "background-status" stretched over the view.

#include <QWidget>

class KZToolbarStatusView : public QWidget {
    Q_OBJECT
public:
    explicit KZToolbarStatusView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
