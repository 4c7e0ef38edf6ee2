#include "model/Preferences.h"
#include "platform/KZUserDefaults.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct PreferencesTest : ::testing::Test {
    kztest::TempDir dir;
    QString file() const { return QString::fromStdString(dir / "settings.json"); }
    // The settings file as it is on disk.
    QJsonObject stored() const
    {
        QFile f(file());
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
};

// A value of the setting's type that differs from the one given (and that every check keeps).
bool otherThan(bool v)
{
    return !v;
}
double otherThan(double v)
{
    return v + 1234.0;
}
qint64 otherThan(qint64 v)
{
    return v == 3 ? 4 : 3;
}
QString otherThan(const QString& v)
{
    return v + QStringLiteral(" (changed)");
}
std::optional<QStringList> otherThan(const std::optional<QStringList>& v)
{
    return v.value_or(QStringList{}) + QStringList{QStringLiteral("/changed")};
}

TEST_F(PreferencesTest, DefaultsForANewUser)
{
    KZUserDefaults store(file());
    Preferences p(store);
    EXPECT_EQ(p.minFileSize(), 50000.0);
    EXPECT_EQ(p.minFileSizeType(), 1);
    EXPECT_TRUE(p.useTrash());
    EXPECT_TRUE(p.firstRun());
    EXPECT_TRUE(p.deleteCompressedOriginal());
    EXPECT_TRUE(p.useDepth());
    EXPECT_EQ(p.selectedThemeName(), QStringLiteral("Blue Skies"));
    EXPECT_EQ(p.ignoredPaths().value(), (QStringList{"/proc", "/sys", "/dev", "/run"}));
    EXPECT_FALSE(p.ignoreList().has_value());
    EXPECT_EQ(p.timesRun(), 0);
    EXPECT_FALSE(p.showHiddenFiles());
    EXPECT_FALSE(p.useDeleteQueue());
    EXPECT_EQ(p.propertyMap().size(), 21);
}

// The stores' names of the settings: a misspelt key would lose what users stored.
TEST_F(PreferencesTest, KeysAreTheStoresNames)
{
    KZUserDefaults store(file());
    const QMap<QString, QString> expected{
        {"ignoreList", "IgnoreList"},
        {"ignoredPaths", "IgnoredPaths"},
        {"minFileSize", "MinimumFileSize"},
        {"minFileSizeType", "MinimumFileSizeType"},
        {"useTrash", "UseTrash"},
        {"deleteCompressedOriginal", "DeleteCompressedOriginal"},
        {"suppressSelectAllWarning", "SuppressSelectAllWarning"},
        {"suppressFinderWarning", "SuppressFinderWarning"},
        {"suppressSelectAllFilesWarning", "SuppressSelectAllFilesWarning"},
        {"suppressDeselectAllFilesWarning", "SuppressDeselectAllFilesWarning"},
        {"suppressFileChangeAlert", "SuppressFileChangeAlert"},
        {"timesRun", "TimesRun"},
        {"firstRun", "FirstRun"},
        {"showSystemFiles", "ShowSystemFiles"},
        {"showHiddenFiles", "ShowHiddenFiles"},
        {"selectedThemeName", "SelectedThemeName"},
        {"useDepth", "ThemesUseDepth"},
        {"hasAskedToUseDeleteQueue", "HaveIToldYouAboutTheDeleteQueueYet"},
        {"useDeleteQueue", "UseDeleteQueue"},
        {"suppressEmptyTrashAlert", "SuppressEmptyTrashAlert"},
        {"suppressEmptyQueueAlert", "SuppressEmptyQueueAlert"},
    };
    EXPECT_EQ(Preferences(store).propertyMap(), expected);
    EXPECT_EQ(Preferences::UseDepthKey, QStringLiteral("ThemesUseDepth"));
    EXPECT_EQ(Preferences::UseHardLinksKey, QStringLiteral("UseHardLinks"));
    const QVariantMap registered = store.registeredDefaults();
    EXPECT_EQ(registered.keys(),
              (QStringList{"DeleteCompressedOriginal", "FirstRun", "IgnoredPaths", "MinimumFileSize",
                           "MinimumFileSizeType", "SelectedThemeName", "ThemesUseDepth", "UseTrash"}));
}

// Every setting: a set writes its own key and nothing else, signals once, and the value reads
// back from the file in a new store.
TEST_F(PreferencesTest, EverySettingReadsBackFromItsKey){
#define READ_BACK(Type, name, Name, key, registered, check)                                                            \
    {                                                                                                                  \
        SCOPED_TRACE(#name);                                                                                           \
        KZUserDefaults store(file());                                                                                  \
        Preferences p(store);                                                                                          \
        const QJsonObject before = stored();                                                                           \
        const Type value = otherThan(p.name());                                                                        \
        QSignalSpy changed(&p, &Preferences::name##Changed);                                                           \
        QSignalSpy any(&p, &Preferences::propertyChanged);                                                             \
        p.set##Name(value);                                                                                            \
        EXPECT_EQ(changed.count(), 1);                                                                                 \
        ASSERT_EQ(any.count(), 1);                                                                                     \
        EXPECT_EQ(any.at(0).at(0).toString(), QStringLiteral(#name));                                                  \
        QJsonObject after = stored();                                                                                  \
        EXPECT_TRUE(after.contains(QStringLiteral(key)));                                                              \
        after.remove(QStringLiteral(key));                                                                             \
        QJsonObject rest = before;                                                                                     \
        rest.remove(QStringLiteral(key));                                                                              \
        EXPECT_EQ(after, rest);                                                                                        \
        KZUserDefaults reread(file());                                                                                 \
        EXPECT_EQ(Preferences(reread).name(), value);                                                                  \
    }
    SIZEMERE_PREFERENCES(READ_BACK)
#undef READ_BACK
}

TEST_F(PreferencesTest, EverySetWritesThroughAndSignals)
{
    KZUserDefaults store(file());
    Preferences p(store);
    QSignalSpy spy(&p, &Preferences::showHiddenFilesChanged);
    p.setShowHiddenFiles(true);
    p.setShowHiddenFiles(true);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_TRUE(KZUserDefaults(file()).boolForKey("ShowHiddenFiles"));

    p.setMinFileSize(123456789.0);
    p.incrementTimesRun();
    KZUserDefaults reread(file());
    Preferences q(reread);
    EXPECT_EQ(q.minFileSize(), 123456789.0);
    EXPECT_EQ(q.timesRun(), 1);
    EXPECT_TRUE(q.showHiddenFiles());
}

TEST_F(PreferencesTest, NilPathsFallBackToTheResourceList)
{
    KZUserDefaults store(file());
    Preferences p(store);
    p.setIgnoredPaths(QStringList{"/x"});
    p.setIgnoredPaths(std::nullopt);
    EXPECT_FALSE(KZUserDefaults(file()).hasStoredValue("IgnoredPaths"));
    KZUserDefaults reread(file());
    EXPECT_EQ(Preferences(reread).ignoredPaths().value(), Preferences::defaultIgnoredPaths());
}

TEST_F(PreferencesTest, AddIgnoredFilePaths)
{
    KZUserDefaults store(file());
    Preferences p(store);
    p.setIgnoredPaths(QStringList{"/b"});
    p.addIgnoredFilePaths({"/a", "/b"});
    EXPECT_EQ(p.ignoredPaths().value(), (QStringList{"/b", "/a"}));
    p.addIgnoredFilePaths({"/a/b", "/a/b/", "/n", "/n"});
    EXPECT_EQ(p.ignoredPaths().value(), (QStringList{"/b", "/a", "/a/b", "/a/b/", "/n", "/n"}));
}

TEST_F(PreferencesTest, BadStoredValuesReadAsDefaultsAndTheUnitIsClamped)
{
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(R"({"MinimumFileSizeType": 99, "MinimumFileSize": "lots", "UseTrash": [],
                    "SelectedThemeName": 3, "IgnoredPaths": {"x": 1}})");
    }
    KZUserDefaults store(file());
    Preferences p(store);
    EXPECT_EQ(p.minFileSizeType(), 6);
    EXPECT_EQ(p.minFileSize(), 50000.0);
    EXPECT_TRUE(p.useTrash());
    EXPECT_EQ(p.selectedThemeName(), QStringLiteral("Blue Skies"));
    EXPECT_EQ(p.ignoredPaths().value(), Preferences::defaultIgnoredPaths());
    p.setMinFileSizeType(-3);
    EXPECT_EQ(p.minFileSizeType(), 0);

    // A negative minimum (a hand-edited file) reads as no minimum, a positive one as it is.
    for (const auto& [stored, read] : {std::pair(-4096.0, 0.0), std::pair(-0.5, 0.0), std::pair(2048.0, 2048.0)}) {
        {
            QFile f(file());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(R"({"MinimumFileSize": )") + QByteArray::number(stored) + "}");
        }
        KZUserDefaults edited(file());
        EXPECT_EQ(Preferences(edited).minFileSize(), read) << stored;
    }
}

} // namespace
