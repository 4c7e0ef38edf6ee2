// The preview window: what it reads for images, text and anything else, stepping through
// its items, and closing by key.
#include "platform/KZPathString.h"
#include "platform/widgets/KZPreviewPanel.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

void writeBytes(const std::string& path, const QByteArray& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray png(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Items : KZPreviewPanelDataSource {
    std::vector<KZPreviewItem> items;
    int numberOfPreviewItems(KZPreviewPanel*) override { return int(items.size()); }
    KZPreviewItem previewItemAtIndex(KZPreviewPanel*, int index) override { return items[size_t(index)]; }
};

} // namespace

TEST(PreviewPanel, ReadsImagesTextAndFactsByContentNeverFollowingLinks)
{
    kztest::TempDir tmp;
    // An image under a name that is not UTF-8 and has no extension.
    const std::string picture = tmp / "pic\xff";
    writeBytes(picture, png(QSize(3000, 1500)));
    const auto image = KZPreviewPanel::readContent(picture, QSize(600, 600));
    EXPECT_EQ(image.kind, KZPreviewPanel::Kind::Image);
    EXPECT_EQ(image.image.size(), QSize(600, 300)) << "shrunk while read";

    // Only the start of a long text.
    const std::string longText = tmp / "long.txt";
    writeBytes(longText, QByteArray(KZPreviewPanel::kMaxTextBytes * 2, 'x'));
    const auto cut = KZPreviewPanel::readContent(longText, QSize(600, 600));
    EXPECT_EQ(cut.text.size(), KZPreviewPanel::kMaxTextBytes + 2);
    EXPECT_TRUE(cut.text.endsWith(QStringLiteral("\n…")));

    // A link to the image is described, not followed.
    kztest::makeSymlink(picture, tmp / "link.png");
    const auto link = KZPreviewPanel::readContent(tmp / "link.png", QSize(600, 600));
    EXPECT_EQ(link.kind, KZPreviewPanel::Kind::Facts);
    EXPECT_TRUE(link.exists);

    EXPECT_FALSE(KZPreviewPanel::readContent(tmp / "gone", QSize(600, 600)).exists);
    // Bytes that merely claim to be an image.
    writeBytes(tmp / "fake.png", "not an image at all");
    EXPECT_NE(KZPreviewPanel::readContent(tmp / "fake.png", QSize(600, 600)).kind, KZPreviewPanel::Kind::Image);
}

TEST(PreviewPanel, StepsThroughItsItemsAndClosesWithSpaceOrEscape)
{
    kztest::TempDir tmp;
    writeBytes(tmp / "a.txt", "first");
    kztest::makeDir(tmp / "b");
    Items source;
    source.items = {{tmp / "a.txt", QStringLiteral("a.txt"), -1}, {tmp / "b/", QStringLiteral("b"), 12300000}};
    KZPreviewPanel panel;
    panel.setDataSource(&source);
    panel.reloadData();
    panel.show();
    ASSERT_TRUE(kztest::waitFor([&] { return panel.currentKind() == KZPreviewPanel::Kind::Text; }));
    EXPECT_EQ(panel.previewText(), QStringLiteral("first"));

    QDir().mkpath(kztest::outputFolder());
    panel.grab().save(kztest::outputFolder() + QStringLiteral("/preview-text.png"));
    QTest::keyClick(&panel, Qt::Key_Right);
    ASSERT_TRUE(kztest::waitFor([&] { return panel.currentKind() == KZPreviewPanel::Kind::Facts; }));
    EXPECT_EQ(panel.currentPreviewItemIndex(), 1);
    EXPECT_TRUE(panel.factsText().contains(QStringLiteral("Size: 12.3 MB")));
    EXPECT_TRUE(panel.factsText().contains(QStringLiteral("Where: ") + QString::fromStdString(tmp.path())));
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(panel.currentPreviewItemIndex(), 0) << "wraps around";
    source.items.pop_back();
    panel.reloadData();
    EXPECT_EQ(panel.currentPreviewItemIndex(), 0);

    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_FALSE(panel.isVisible());
    panel.show();
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_FALSE(panel.isVisible());

    // An image, shrunk to the window.
    writeBytes(tmp / "wide.png", png(QSize(1600, 900)));
    source.items = {{tmp / "wide.png", QStringLiteral("wide.png"), -1}};
    panel.reloadData();
    panel.show();
    ASSERT_TRUE(kztest::waitFor([&] { return panel.currentKind() == KZPreviewPanel::Kind::Image; }));
    EXPECT_EQ(panel.previewImage().size(), QSize(1600, 900));
    panel.grab().save(kztest::outputFolder() + QStringLiteral("/preview-image.png"));
}
