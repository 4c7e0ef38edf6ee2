#pragma once
// A label that shows a size as a number with one decimal followed by its unit in a smaller
// font ("12.3GB"), and can count from the value shown to a new one in eight steps, one every
// 10 ms. Requests that arrive during a count wait in a queue and are counted in turn. The
// scanning and finished screens show their totals in these. Main thread only.

#include "kit/KZInterfaceFile.h"
#include "model/KZMemoryFormatter.h"
#include "platform/KZAnimationClock.h"
#include "platform/widgets/KZTextStyle.h"

#include <QList>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>

class KZSpaceLabel : public QWidget, public KZAwakeFromNib {
    Q_OBJECT
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
public:
    explicit KZSpaceLabel(QWidget* parent = nullptr);
    ~KZSpaceLabel() override;
    // A label from an interface file starts at size 0 (so its first animated request counts).
    void awakeFromNib() override;

    // Shows a byte count at once, formatted by the label's formatter; a value equal to the
    // current size changes nothing.
    void setSize(double bytes);
    // Shows a value already converted to the unit; counts to it when animated (and the label
    // has shown something before). During a count the request waits its turn.
    void setSize(double value, const QString& unit, bool animated = true);
    // Shows an integer (a plain text), refitting the font when the text's length changed.
    void setIntegerValue(qint64 value);

    double size() const { return size_; }
    QString unit() const { return unit_; }
    bool isAnimating() const { return animating_; }
    double trackingValue() const { return trackingValue_; }
    double stepValue() const { return stepValue_; }
    int queuedRequestCount() const { return int(animationQueue_.size()); }
    // The text shown.
    QString stringValue() const;
    // The unit's part of the text ("" for a plain text).
    QString unitText() const { return attributed_ ? runs_.value(1).text : QString(); }

    KZMemoryFormatter* memoryFormatter();
    void setMemoryFormatter(std::unique_ptr<KZMemoryFormatter> formatter) { memoryFormatter_ = std::move(formatter); }

    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);

    // "%0.1f%@": the number with one decimal and the unit, no blank between them.
    static QString titleText(double value, const QString& unit);
    // The font of the unit: the small system size.
    static QFont unitFont(const QFont& base);

    // The text length the font was last fitted for, shared by every size label.
    static qsizetype lastFittedLength();
    static void resetLastFittedLength();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Request {
        double size;
        QString unit;
    };
    void animateToSize(double value);
    void changeValue();
    void changeText();
    void updateTitle();
    void processNextQueueItem();
    void setTitleWithSize(double value, const QString& unit);
    void adjustFontSize();

    bool animating_ = false;
    QString unit_;
    double size_ = -1;
    double trackingValue_ = 0;
    double oldValue_ = 0;
    std::unique_ptr<KZAnimationClock::Timer> timer_;
    double stepValue_ = 0;
    std::deque<Request> animationQueue_;
    std::unique_ptr<KZMemoryFormatter> memoryFormatter_;

    bool attributed_ = false;
    QList<KZTextStyle::Run> runs_;
    QColor textColor_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};
