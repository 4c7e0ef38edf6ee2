#include "model/Preferences.h"
#include "model/TQDeleteQueue.h"
#include "platform/KZNotificationCenter.h"
#include "platform/KZUserDefaults.h"
#include "tests/support/TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct Observed {
    QString name;
    KZFileList files;
    size_t queueLengthDuringDelivery;
};

struct DeleteQueueTest : ::testing::Test {
    TQDeleteQueue queue;
    std::vector<Observed> seen;
    KZObserverToken added, removed;

    void SetUp() override
    {
        auto& center = KZNotificationCenter::defaultCenter();
        auto record = [this](const KZNotification& n) {
            seen.push_back({n.name, n.userInfo.value(TQDeleteQueueNotification::filesKey).value<KZFileList>(),
                            queue.queue().size()});
        };
        added = {&center, center.addObserver(TQDeleteQueueNotification::didAddFiles, record)};
        removed = {&center, center.addObserver(TQDeleteQueueNotification::didRemoveFiles, record)};
    }
};

TEST_F(DeleteQueueTest, AddingKeepsEachRecordOnce)
{
    QSignalSpy changes(&queue, &TQDeleteQueue::queueChanged);
    KZFilePtr a = KZFile::fileWithPath("/x/a"), b = KZFile::fileWithPath("/x/b");
    queue.addFilesToQueue({a});
    queue.addFilesToQueue({a, b});
    EXPECT_EQ(queue.queue(), (KZFileList{a, b}));
    EXPECT_EQ(changes.count(), 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].name, QStringLiteral("notification.didAddFiles"));
    EXPECT_EQ(seen[1].files, (KZFileList{a, b})); // the already queued record is named too
    EXPECT_EQ(seen[1].queueLengthDuringDelivery, 2u);
}

TEST_F(DeleteQueueTest, RemovingAndClearing)
{
    KZFilePtr a = KZFile::fileWithPath("/x/a"), b = KZFile::fileWithPath("/x/b"), c = KZFile::fileWithPath("/x/c");
    queue.addFilesToQueue({a, b, c});
    seen.clear();
    QSignalSpy changes(&queue, &TQDeleteQueue::queueChanged);
    queue.removeFileFromQueue(b);
    EXPECT_EQ(queue.queue(), (KZFileList{a, c}));
    queue.removeFilesFromQueue({c});
    queue.clearQueue();
    EXPECT_TRUE(queue.queue().empty());
    EXPECT_EQ(changes.count(), 3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].files, (KZFileList{b}));
    EXPECT_EQ(seen[0].queueLengthDuringDelivery, 2u); // already removed
    EXPECT_EQ(seen[2].name, QStringLiteral("notification.didRemoveFiles"));
    EXPECT_EQ(seen[2].files, (KZFileList{a}));
    EXPECT_EQ(seen[2].queueLengthDuringDelivery, 1u); // still queued while observers look

    queue.clearQueue();
    EXPECT_EQ(changes.count(), 4);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(seen[3].files.empty());
    queue.postRemoveFilesNotificationWithFiles(std::nullopt);
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(DeleteQueueTest, DeletingLeavesTheListToTheCaller)
{
    kztest::TempDir dir;
    KZUserDefaults store(QString::fromStdString(dir / "settings.json"));
    Preferences preferences(store);
    preferences.setUseTrash(false);
    queue.setPreferences(&preferences);
    kztest::makeFile(dir / "queued", 9);
    KZFilePtr file = KZFile::fileWithPath(dir / "queued", true);
    queue.addFilesToQueue({file});
    std::optional<TQDeletionResult> result;
    queue.deleteAllFiles([](double) {}, [&](const TQDeletionResult& r) { result = r; });
    ASSERT_TRUE(kztest::waitFor([&] { return result.has_value(); }));
    EXPECT_FALSE(kztest::exists(dir / "queued"));
    EXPECT_EQ(result->deletedFiles, (KZFileList{file}));
    EXPECT_EQ(queue.queue(), (KZFileList{file}));
}

} // namespace
