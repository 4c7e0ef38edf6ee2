#pragma once
// A line of text on the status panel's display: dark on the pale face with a white engraved
// shadow one pixel below, elided (in the middle by default) when it does not fit. Its size
// hint is the whole text, its minimum a few characters, so a layout shrinks it before
// anything else and the text then elides. Placed in the status panel's interface file.

#include <QColor>
#include <QString>
#include <QWidget>

class KZLCDLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(Qt::TextElideMode elideMode READ elideMode WRITE setElideMode)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
public:
    explicit KZLCDLabel(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    // Unset: the colour of the display's text.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    Qt::TextElideMode elideMode() const { return elideMode_; }
    void setElideMode(Qt::TextElideMode mode);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);

    // The text as drawn at the label's present width.
    QString shownText() const;
    // The text colour of the display.
    static QColor displayTextColor();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor textColor_;
    Qt::TextElideMode elideMode_ = Qt::ElideMiddle;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};
