#include "platform/widgets/KZPreviewPanel.h"

#include "platform/KZDispatch.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAccessibleWidget.h"
#include "platform/widgets/KZAppearance.h"
#include "platform/widgets/KZWorkspace.h"

#include <QBuffer>
#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum Page { ImagePage = 0, TextPage = 1, FactsPage = 2 };

// Reads up to `limit` bytes of the regular file at the path, never following a final link.
QByteArray readHead(const std::string& path, qint64 limit, bool* complete = nullptr)
{
    QByteArray data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return data;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return data;
    }
    data.resize(qsizetype(std::min<qint64>(limit, qint64(st.st_size))));
    qsizetype filled = 0;
    while (filled < data.size()) {
        const ssize_t n = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        filled += n;
    }
    data.resize(filled);
    if (complete) *complete = qint64(filled) >= qint64(st.st_size);
    ::close(fd);
    return data;
}

QString formatDate(qint64 seconds)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QStringLiteral("MMMM dd, yyyy 'at' hh:mm AP"));
}

} // namespace

KZPreviewPanel::KZPreviewPanel(QWidget* parent) : QWidget(parent, Qt::Window)
{
    // A window to assistive technology too, named by its title.
    KZAccessibleWidget::registerClass(staticMetaObject, {QAccessible::Window, {}, {}});
    KZAppearance::applyAqua(this);
    setWindowTitle(QStringLiteral("Preview"));
    resize(560, 440);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    auto* header = new QHBoxLayout;
    titleLabel_ = new QLabel(this);
    titleLabel_->setTextFormat(Qt::PlainText);
    QFont bold = titleLabel_->font();
    bold.setBold(true);
    titleLabel_->setFont(bold);
    titleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    counterLabel_ = new QLabel(this);
    counterLabel_->setTextFormat(Qt::PlainText);
    counterLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    header->addWidget(titleLabel_, 1);
    header->addWidget(counterLabel_);
    layout->addLayout(header);

    pages_ = new QStackedWidget(this);
    imageLabel_ = new QLabel(pages_);
    imageLabel_->setAlignment(Qt::AlignCenter);
    imageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pages_->addWidget(imageLabel_);
    textView_ = new QPlainTextEdit(pages_);
    textView_->setReadOnly(true);
    textView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    textView_->setFocusPolicy(Qt::NoFocus);
    textView_->setAccessibleName(QStringLiteral("Contents"));
    pages_->addWidget(textView_);
    auto* facts = new QWidget(pages_);
    auto* factsLayout = new QVBoxLayout(facts);
    iconLabel_ = new QLabel(facts);
    iconLabel_->setAlignment(Qt::AlignCenter);
    iconLabel_->setAccessibleName(QStringLiteral("Icon"));
    factsLabel_ = new QLabel(facts);
    factsLabel_->setTextFormat(Qt::PlainText);
    factsLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    factsLabel_->setWordWrap(true);
    factsLayout->addStretch(1);
    factsLayout->addWidget(iconLabel_);
    factsLayout->addWidget(factsLabel_);
    factsLayout->addStretch(1);
    pages_->addWidget(facts);
    layout->addWidget(pages_, 1);
}

KZPreviewPanel::~KZPreviewPanel() = default;

void KZPreviewPanel::reloadData()
{
    count_ = dataSource_ ? std::max(0, dataSource_->numberOfPreviewItems(this)) : 0;
    if (index_ >= count_) index_ = 0;
    showCurrentItem();
}

void KZPreviewPanel::setCurrentPreviewItemIndex(int index)
{
    if (count_ == 0) return;
    index_ = ((index % count_) + count_) % count_;
    showCurrentItem();
}

QString KZPreviewPanel::titleText() const
{
    return titleLabel_->text();
}

QString KZPreviewPanel::factsText() const
{
    return facts_;
}

QString KZPreviewPanel::previewText() const
{
    return kind_ == Kind::Text ? textView_->toPlainText() : QString();
}

KZPreviewPanel::Content KZPreviewPanel::readContent(const std::string& rawPath, QSize maxImageSize)
{
    Content c;
    const std::string path = kz::pathWithoutTrailingSlash(rawPath);
    const QMimeDatabase db;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return c;
    c.exists = true;
    c.size = double(st.st_size);
    c.modificationTime = qint64(st.st_mtime);
    if (S_ISDIR(st.st_mode)) {
        c.isFolder = true;
        c.size = -1;
        c.mimeComment = db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
        return c;
    }
    if (S_ISLNK(st.st_mode)) {
        c.mimeComment = db.mimeTypeForName(QStringLiteral("inode/symlink")).comment();
        return c;
    }
    if (!S_ISREG(st.st_mode)) return c;

    const QByteArray head = readHead(path, 4096);
    const QMimeType type = db.mimeTypeForFileNameAndData(kz::displayString(path), head);
    c.mimeComment = type.comment();
    if (type.name().startsWith(QLatin1String("image/")) && qint64(st.st_size) <= kMaxImageBytes) {
        QByteArray bytes = readHead(path, kMaxImageBytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        const QSize natural = reader.size();
        if (natural.isValid() && maxImageSize.isValid() &&
            (natural.width() > maxImageSize.width() || natural.height() > maxImageSize.height()))
            reader.setScaledSize(natural.scaled(maxImageSize, Qt::KeepAspectRatio));
        QImage image = reader.read();
        if (!image.isNull()) {
            c.kind = Kind::Image;
            c.image = std::move(image);
            return c;
        }
    }
    if (type.inherits(QStringLiteral("text/plain"))) {
        bool complete = false;
        const QByteArray text = readHead(path, kMaxTextBytes, &complete);
        c.kind = Kind::Text;
        c.text = QString::fromUtf8(text);
        if (!complete) c.text += QStringLiteral("\n…");
    }
    return c;
}

void KZPreviewPanel::showCurrentItem()
{
    ++generation_;
    kind_ = Kind::None;
    image_ = QImage();
    facts_.clear();
    if (count_ == 0 || !dataSource_) {
        item_ = {};
        titleLabel_->clear();
        counterLabel_->clear();
        imageLabel_->clear();
        textView_->clear();
        factsLabel_->clear();
        iconLabel_->clear();
        return;
    }
    item_ = dataSource_->previewItemAtIndex(this, index_);
    titleLabel_->setText(item_.title);
    setWindowTitle(item_.title);
    counterLabel_->setText(count_ > 1 ? QStringLiteral("%1 of %2").arg(index_ + 1).arg(count_) : QString());
    // An empty counter is no line for a screen reader to stop at.
    counterLabel_->setVisible(count_ > 1);

    // The file is read in the background; only the latest request is shown.
    const quint64 generation = generation_;
    const std::string path = item_.path;
    const QSize maxImage(2048, 2048);
    // The guard is made here and read only on the main thread.
    QPointer<KZPreviewPanel> self(this);
    KZRunInBackground([self, generation, path, maxImage] {
        Content content = readContent(path, maxImage);
        KZRunOnMainThread([self, generation, content = std::move(content)] {
            if (!self || self->generation_ != generation) return;
            self->present(content);
        });
    });
}

void KZPreviewPanel::present(const Content& content)
{
    kind_ = content.kind;
    QStringList facts;
    facts << item_.title;
    if (!content.exists) {
        facts << QStringLiteral("This item no longer exists.");
    } else {
        if (!content.mimeComment.isEmpty()) facts << QStringLiteral("Kind: %1").arg(content.mimeComment);
        const double size = item_.size >= 0 ? item_.size : content.size;
        if (size >= 0)
            facts << QStringLiteral("Size: %1")
                         .arg(QLocale::c().formattedDataSize(qint64(size), 1, QLocale::DataSizeSIFormat));
        if (content.modificationTime >= 0)
            facts << QStringLiteral("Modified: %1").arg(formatDate(content.modificationTime));
    }
    const std::string trimmed = kz::pathWithoutTrailingSlash(item_.path);
    const size_t slash = trimmed.rfind('/');
    if (slash != std::string::npos)
        facts << QStringLiteral("Where: %1")
                     .arg(kz::displayString(slash == 0 ? std::string("/") : trimmed.substr(0, slash)));
    facts_ = facts.join(QLatin1Char('\n'));

    switch (content.kind) {
    case Kind::Image:
        image_ = content.image;
        imageLabel_->setAccessibleName(item_.title);
        pages_->setCurrentIndex(ImagePage);
        updateImage();
        break;
    case Kind::Text:
        textView_->setPlainText(content.text);
        pages_->setCurrentIndex(TextPage);
        break;
    default:
        kind_ = Kind::Facts;
        iconLabel_->setPixmap(kz_iconForFile(item_.path).pixmap(128, 128));
        factsLabel_->setText(facts_);
        pages_->setCurrentIndex(FactsPage);
        break;
    }
    Q_EMIT itemShown();
}

void KZPreviewPanel::updateImage()
{
    if (image_.isNull()) {
        imageLabel_->clear();
        return;
    }
    const QSize box = imageLabel_->size();
    QImage shown = image_;
    // Shrunk to fit, never enlarged.
    if (box.isValid() && (image_.width() > box.width() || image_.height() > box.height()))
        shown = image_.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    imageLabel_->setPixmap(QPixmap::fromImage(shown));
}

void KZPreviewPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (kind_ == Kind::Image) updateImage();
}

void KZPreviewPanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
        setCurrentPreviewItemIndex(index_ - 1);
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        setCurrentPreviewItemIndex(index_ + 1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
