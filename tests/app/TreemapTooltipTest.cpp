// The hover tooltip's text for a node and the panel's place beside the pointer.
#include "app/TQTreemapTooltip.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

KZFilePtr record(const KZDirectoryPtr& parent, const std::string& name, double size)
{
    KZFilePtr f = KZFile::childWithName(parent.get(), name);
    f->setFileSize(size);
    return f;
}

} // namespace

TEST(TreemapTooltip, TextAndPlace)
{
    KZDirectoryPtr folder = KZDirectory::fileWithPath("/data/");
    KZFilePtr file = record(folder, "report.pdf", 12300000);
    file->setCreationTime(QDateTime(QDate(2021, 3, 4), QTime(9, 5)).toSecsSinceEpoch());
    file->setModificationTime(QDateTime(QDate(2022, 11, 20), QTime(17, 30)).toSecsSinceEpoch());
    EXPECT_EQ(TQTreemapTooltip::textForNode(*KZTreemapNode::nodeWithFile(file)),
              QStringLiteral("report.pdf\nSize: 12.3 MB\nCreated: March 04, 2021 at 09:05 AM\n"
                             "Modified: November 20, 2022 at 05:30 PM"));
    EXPECT_EQ(TQTreemapTooltip::textForNode(*KZTreemapNode::nodeWithFile(record(folder, "a<b>", 999))),
              QStringLiteral("a<b>\nSize: 999.0 bytes"));

    // Fifteen grouped files are all listed; sixteen list ten and count the rest.
    std::vector<KZFilePtr> files;
    for (int i = 0; i < 16; ++i) files.push_back(record(folder, "f" + std::to_string(i), 1000));
    const QString listed15 = TQTreemapTooltip::textForNode(
        *KZTreemapNode::nodeWithGroupedFileArray({files.begin(), files.begin() + 15}, folder));
    EXPECT_TRUE(listed15.startsWith(QStringLiteral("Grouped files:\n------------\nf0\nf1\n")));
    EXPECT_TRUE(listed15.endsWith(QStringLiteral("f14\n\nSize: 15.0 KB")));
    EXPECT_TRUE(TQTreemapTooltip::textForNode(*KZTreemapNode::nodeWithGroupedFileArray(files, folder))
                    .endsWith(QStringLiteral("f9\n... and 6 more\n\nSize: 16.0 KB")));
    auto counted = KZTreemapNode::nodeWithGroupedFileArray({}, folder);
    counted->setTotalFiles(42);
    counted->setFileSize(5000);
    EXPECT_EQ(TQTreemapTooltip::textForNode(*counted), QStringLiteral("42 total items\nSize: 5.0 KB"));

    // 10 right of the pointer and 20 below; moved left by its width at the right edge; resting
    // on the bottom edge at the bottom.
    const QRect screen(0, 0, 1000, 800);
    EXPECT_EQ(TQTreemapTooltip::frame(QPointF(100, 100), QSizeF(80.2, 30), screen), QRect(110, 120, 96, 35));
    EXPECT_EQ(TQTreemapTooltip::frame(QPointF(950, 100), QSizeF(85, 30), screen), QRect(860, 120, 100, 35));
    EXPECT_EQ(TQTreemapTooltip::frame(QPointF(100, 790), QSizeF(85, 30), screen), QRect(110, 765, 100, 35));
}
