#include "platform/KZLog.h"
#include "platform/KZPathString.h"
#include "platform/KZUserDefaults.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

void writeFile(const std::string& path, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(UserDefaults, StoredRegisteredAndAbsentValues)
{
    kztest::TempDir dir;
    KZUserDefaults d(QString::fromStdString(dir / "s.json"));
    d.registerDefaults({{"Flag", true}, {"Size", 50000.0}});
    EXPECT_TRUE(d.boolForKey("Flag"));
    EXPECT_EQ(d.doubleForKey("Size"), 50000.0);
    EXPECT_FALSE(d.boolForKey("Missing"));
    EXPECT_EQ(d.integerForKey("Missing"), 0);
    EXPECT_FALSE(d.stringArrayForKey("Missing").has_value());
    d.setDouble("Size", 123456789.0);
    d.setObject("List", QStringList{"/a", "/b"});

    KZUserDefaults again(QString::fromStdString(dir / "s.json"));
    EXPECT_EQ(again.doubleForKey("Size"), 123456789.0);
    EXPECT_EQ(again.stringArrayForKey("List").value(), (QStringList{"/a", "/b"}));
    again.removeObject("List");
    EXPECT_FALSE(KZUserDefaults(QString::fromStdString(dir / "s.json")).hasStoredValue("List"));
}

TEST(UserDefaults, DamagedOrHandEditedFilesGiveDefaults)
{
    kztest::TempDir dir;
    auto previous = kz::setLogSink([](const QString&) {});
    writeFile(dir / "bad.json", "{ not json");
    KZUserDefaults bad(QString::fromStdString(dir / "bad.json"));
    bad.registerDefaults({{"Flag", true}});
    EXPECT_TRUE(bad.boolForKey("Flag"));

    writeFile(dir / "odd.json", R"({"Flag": "yes please", "Size": "big", "List": [1, "a"], "Name": 5,
                                     "Count": 1e300})");
    KZUserDefaults odd(QString::fromStdString(dir / "odd.json"));
    odd.registerDefaults({{"Flag", true}, {"Size", 7.0}, {"List", QStringList{"x"}}, {"Name", "n"}});
    EXPECT_TRUE(odd.boolForKey("Flag"));
    EXPECT_EQ(odd.doubleForKey("Size"), 7.0);
    EXPECT_EQ(odd.stringArrayForKey("List").value(), QStringList{"x"});
    EXPECT_EQ(odd.stringForKey("Name"), "n");
    EXPECT_EQ(odd.integerForKey("Count"), std::numeric_limits<qint64>::max());
    kz::setLogSink(previous);
}

TEST(UserDefaults, PathsThatAreNotUtf8SurviveARoundTrip)
{
    kztest::TempDir dir;
    const std::string raw = "/tmp/caf\xe9/\xff\xfe name\n";
    {
        KZUserDefaults d(QString::fromStdString(dir / "p.json"));
        d.setObject("Paths", QStringList{kz::pathToQString(raw), "/plain"});
    }
    KZUserDefaults d(QString::fromStdString(dir / "p.json"));
    const QStringList back = d.stringArrayForKey("Paths").value();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(kz::pathFromQString(back[0]), raw);
    EXPECT_EQ(back[1], "/plain");
}

TEST(PathString, LosslessAndDisplayConversions)
{
    for (std::string s : {std::string("/plain/ascii"), std::string("/caf\xc3\xa9"), std::string("/bad\xff\x80"),
                          std::string("/\xed\xa0\x80surrogate"), std::string("/emoji\xf0\x9f\x98\x80")}) {
        EXPECT_EQ(kz::pathFromQString(kz::pathToQString(s)), s);
    }
    EXPECT_TRUE(kz::displayString("/bad\xff").contains(QChar(0xFFFD)));
}
