#include "platform/widgets/KZPasteboard.h"

#include <QMimeData>

#include <gtest/gtest.h>

using Paths = std::vector<std::string>;

TEST(Pasteboard, LocalFileURIsDecodeByteForByte)
{
    const QByteArray list = "# a comment\r\n"
                            "file:///home/u/My%20Folder\r\n"
                            "file://localhost/tmp/a%FFb\r\n"
                            "file://otherhost/tmp/remote\r\n"
                            "https://example.org/x\r\n"
                            "file:/tmp/short\n";
    EXPECT_EQ(KZPasteboard::filePathsFromURIList(list), (Paths{"/home/u/My Folder",
                                                               std::string("/tmp/a\xff"
                                                                           "b"),
                                                               "/tmp/short"}));
}

TEST(Pasteboard, OddNamesRoundTrip)
{
    const Paths paths{"/tmp/new\nline", std::string("/tmp/\xc3\x28 bad utf8"), "/tmp/percent%20sign", "/tmp/#hash?q"};
    std::unique_ptr<QMimeData> data(KZPasteboard::mimeDataForPaths(paths));
    EXPECT_EQ(KZPasteboard::filePaths(data.get()), paths);
}

TEST(Pasteboard, NoURIListNoPaths)
{
    QMimeData data;
    data.setText(QStringLiteral("/tmp/x"));
    EXPECT_TRUE(KZPasteboard::filePaths(&data).empty());
    EXPECT_TRUE(KZPasteboard::filePaths(nullptr).empty());
    EXPECT_TRUE(KZPasteboard::filePathsFromURIList("file:///tmp/a%00b").empty()) << "a NUL byte is no path";
}
