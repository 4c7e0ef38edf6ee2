#pragma once
// A button of the Touch Bar views: it draws its own face through a KZTouchBarButtonCell,
// looks pressed while touched or held, and acts on a release inside. Disabled, it shows at
// alpha 0.8. Without a cell (an empty "cellClass") it behaves as a plain button.

#include "kit/KZInterfaceFile.h"
#include "kit/KZTouchBarButtonCell.h"
#include "platform/widgets/KZImage.h"

#include <QAbstractButton>

#include <memory>

class KZTouchBarButton : public QAbstractButton, public KZAwakeFromNib {
    Q_OBJECT
    Q_PROPERTY(QString cellClass READ cellClass WRITE setCellClass)
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)
public:
    explicit KZTouchBarButton(QWidget* parent = nullptr);
    ~KZTouchBarButton() override;
    void awakeFromNib() override;

    KZTouchBarButtonCell* cell() const { return cell_.get(); }
    QString cellClass() const { return cell_ ? cell_->className() : QString(); }
    void setCellClass(const QString& className);

    KZImage image() const { return image_; }
    void setImage(const KZImage& image);
    QString imageName() const { return image_.name(); }
    void setImageName(const QString& name) { setImage(KZImage::named(name)); }

    // 1.0 enabled, 0.8 disabled.
    double alphaValue() const { return alphaValue_; }
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void updateEnabled();
    void actuallyTouch();
    void setCellMouseDown(bool down);

    std::unique_ptr<KZTouchBarButtonCell> cell_;
    KZImage image_;
    double alphaValue_ = 1.0;
};
