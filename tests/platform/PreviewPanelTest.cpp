// The preview window: what it reads for images, text and anything else, stepping through its
// items, and closing by key. Pictures: build/test-output/preview-*.png.
#include "platform/widgets/KZPreviewPanel.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDir>
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

TEST(PreviewPanel, ImagesTextOrFactsByContentSteppedThroughAndClosedByKey)
{
    kztest::TempDir tmp;
    // An image under a name that is not UTF-8 and without extension, shrunk while read; a link
    // to it described, not followed; bytes that merely claim to be an image; a long text cut.
    writeBytes(tmp / "pic\xff", png(QSize(3000, 1500)));
    EXPECT_EQ(KZPreviewPanel::readContent(tmp / "pic\xff", QSize(600, 600)).image.size(), QSize(600, 300));
    kztest::makeSymlink(tmp / "pic\xff", tmp / "link.png");
    EXPECT_EQ(KZPreviewPanel::readContent(tmp / "link.png", QSize(600, 600)).kind, KZPreviewPanel::Kind::Facts);
    writeBytes(tmp / "fake.png", "not an image at all");
    EXPECT_NE(KZPreviewPanel::readContent(tmp / "fake.png", QSize(600, 600)).kind, KZPreviewPanel::Kind::Image);
    writeBytes(tmp / "long.txt", QByteArray(KZPreviewPanel::kMaxTextBytes * 2, 'x'));
    EXPECT_EQ(KZPreviewPanel::readContent(tmp / "long.txt", QSize()).text.size(), KZPreviewPanel::kMaxTextBytes + 2);
    EXPECT_FALSE(KZPreviewPanel::readContent(tmp / "gone", QSize()).exists);

    writeBytes(tmp / "a.txt", "first");
    kztest::makeDir(tmp / "b");
    writeBytes(tmp / "wide.png", png(QSize(1600, 900)));
    Items source;
    source.items = {{tmp / "a.txt", "a.txt", -1}, {tmp / "b/", "b", 12300000}, {tmp / "wide.png", "wide.png", -1}};
    KZPreviewPanel panel;
    panel.setDataSource(&source);
    panel.reloadData();
    panel.show();
    QDir().mkpath(kztest::outputFolder());
    const auto shows = [&](KZPreviewPanel::Kind kind, const char* picture) {
        const bool shown = kztest::waitFor([&] { return panel.currentKind() == kind; });
        panel.grab().save(kztest::outputFolder() + "/preview-" + picture + ".png");
        return shown;
    };
    ASSERT_TRUE(shows(KZPreviewPanel::Kind::Text, "text"));
    EXPECT_EQ(panel.previewText(), QStringLiteral("first"));
    QTest::keyClick(&panel, Qt::Key_Right);
    ASSERT_TRUE(shows(KZPreviewPanel::Kind::Facts, "folder"));
    EXPECT_TRUE(panel.factsText().contains("Size: 12.3 MB\n"));
    EXPECT_TRUE(panel.factsText().endsWith("Where: " + QString::fromStdString(tmp.path())));
    QTest::keyClick(&panel, Qt::Key_Down);
    ASSERT_TRUE(shows(KZPreviewPanel::Kind::Image, "image"));
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(panel.currentPreviewItemIndex(), 0) << "wraps around";
    source.items.resize(1);
    panel.reloadData();
    EXPECT_EQ(panel.numberOfItems(), 1);

    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_FALSE(panel.isVisible());
    panel.show();
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_FALSE(panel.isVisible());
}
