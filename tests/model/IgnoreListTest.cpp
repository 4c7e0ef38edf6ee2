#include "model/KZFile.h"
#include "model/KZIgnoreList.h"
#include "model/KZPath.h"
#include "platform/KZLog.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A resource file with the given JSON text, and the log lines written while loading it.
struct Loaded {
    KZIgnoreList list;
    QStringList log;
};

Loaded load(const kztest::TempDir& dir, const QByteArray& json)
{
    const QString file = QString::fromStdString(dir / "IgnoreList.json");
    QFile f(file);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(json);
    f.close();
    QStringList lines;
    auto previous = kz::setLogSink([&lines](const QString& line) { lines.append(line); });
    KZIgnoreList list(file);
    kz::setLogSink(previous);
    return {std::move(list), lines};
}

KZIgnoreList emptyList()
{
    return KZIgnoreList(QStringLiteral("/nonexistent/IgnoreList.json"));
}

TEST(IgnoreList, IgnoredPathMatchesItselfAndBelowButNotASiblingPrefix)
{
    KZIgnoreList list = emptyList();
    list.setIgnoredPaths(QStringList{"/a/b"});
    EXPECT_TRUE(list.filePathIsIgnored("/a/b"));
    EXPECT_TRUE(list.filePathIsIgnored("/a/b/"));
    EXPECT_TRUE(list.filePathIsIgnored("/a/b/c"));
    EXPECT_FALSE(list.filePathIsIgnored("/a/bc"));
    EXPECT_FALSE(list.filePathIsIgnored("/a"));
    EXPECT_FALSE(list.filePathIsIgnored("/A/b/c")); // letter case counts
}

TEST(IgnoreList, IgnoredExtensionsOnAnyComponentLowerCasedFirst)
{
    KZIgnoreList list = emptyList();
    list.setIgnoredExtensions(QStringList{"jpg"});
    EXPECT_TRUE(list.filePathIsIgnored("/x/y.jpg"));
    EXPECT_TRUE(list.filePathIsIgnored("/x/y.JPG"));
    EXPECT_TRUE(list.filePathIsIgnored("/x/album.jpg/z.txt"));
    EXPECT_FALSE(list.filePathIsIgnored("/x/y.jpeg"));
    EXPECT_FALSE(list.filePathIsIgnored("/x/jpg"));
    EXPECT_FALSE(list.filePathIsIgnored("/x/y.jpg.txt"));

    list.setIgnoredExtensions(QStringList{"JPG"}); // stored upper case: matches nothing
    EXPECT_FALSE(list.filePathIsIgnored("/x/y.JPG"));
    EXPECT_FALSE(list.filePathIsIgnored("/x/y.jpg"));

    // Extensions that are not ASCII, and names that are not UTF-8.
    list.setIgnoredExtensions(QStringList{QStringLiteral("é")});
    EXPECT_TRUE(list.filePathIsIgnored("/x/caf.\xc3\x89"));
    EXPECT_FALSE(list.filePathIsIgnored("/x/caf.\xff"));
}

TEST(IgnoreList, AllowedPathOverridesIgnoredAndSystem)
{
    KZIgnoreList list = emptyList();
    list.setSystemPaths(KZIgnoreList::PathList{"/sys/"});
    list.setIgnoredPaths(QStringList{"/sys/keep"});
    list.setIgnoredExtensions(QStringList{"log"});
    list.setAllowedPaths(KZIgnoreList::PathList{"/sys/keep/open/"});
    EXPECT_FALSE(list.pathIsChildOfSystemPath("/sys/keep/open/x.log"));
    EXPECT_FALSE(list.filePathIsIgnored("/sys/keep/open/x.log"));
    EXPECT_TRUE(list.pathIsChildOfSystemPath("/sys/keep/other"));
    EXPECT_TRUE(list.filePathIsIgnored("/sys/keep/other"));
    EXPECT_TRUE(list.filePathIsIgnored("/home/x.log"));
    EXPECT_FALSE(list.pathIsChildOfSystemPath("/home/x.log"));
}

TEST(IgnoreList, NilListsHoldNothing)
{
    KZIgnoreList list = emptyList();
    EXPECT_FALSE(list.systemPaths().has_value());
    EXPECT_FALSE(list.allowedPaths().has_value());
    EXPECT_FALSE(list.unremovablePaths().has_value());
    EXPECT_FALSE(list.filePathIsIgnored("/anything"));
    EXPECT_FALSE(list.pathIsChildOfSystemPath("/usr/bin"));
    list.setIgnoredPaths(QStringList{});
    list.setIgnoredExtensions(QStringList{});
    EXPECT_FALSE(list.filePathIsIgnored("/a.jpg"));
}

TEST(IgnoreList, LoadingExpandsHomeAndAddsFinalSlash)
{
    kztest::TempDir dir;
    Loaded l = load(dir, R"({"SystemPaths": ["~/Library/Caches", "/private/var", "~", "/etc/"],
                             "UnremovableFolders": ["/", "~/Documents"],
                             "AllowedPaths": ["/private/var/ok"]})");
    const std::string home = KZIgnoreList::actualHomeDirectory();
    const std::string homeSlash = home == "/" ? "/" : home + "/";
    ASSERT_TRUE(l.list.systemPaths());
    EXPECT_EQ(*l.list.systemPaths(),
              (KZIgnoreList::PathList{homeSlash + "Library/Caches/", "/private/var/", homeSlash, "/etc/"}));
    EXPECT_EQ(*l.list.unremovablePaths(), (KZIgnoreList::PathList{"/", homeSlash + "Documents/"}));
    EXPECT_EQ(*l.list.allowedPaths(), (KZIgnoreList::PathList{"/private/var/ok/"}));
    // Setting the allowed paths writes them to the system log.
    ASSERT_EQ(l.log.size(), 1);
    EXPECT_TRUE(l.log.front().contains(QStringLiteral("/private/var/ok/")));
    // The user lists are taken as given.
    l.list.setIgnoredPaths(QStringList{"~/x"});
    EXPECT_EQ(*l.list.ignoredPaths(), (KZIgnoreList::PathList{"~/x"}));
}

TEST(IgnoreList, AllowedPathsAreOptionalTheOtherListsAreNot)
{
    kztest::TempDir dir;
    Loaded noAllowed = load(dir, R"({"SystemPaths": ["/s"], "UnremovableFolders": ["/u"]})");
    ASSERT_TRUE(noAllowed.list.allowedPaths());
    EXPECT_TRUE(noAllowed.list.allowedPaths()->empty());
    EXPECT_EQ(*noAllowed.list.systemPaths(), (KZIgnoreList::PathList{"/s/"}));

    for (const QByteArray& json :
         {QByteArray(R"({"SystemPaths": ["/s"]})"), QByteArray(R"({"UnremovableFolders": []})"),
          QByteArray(R"(["/s"])"), QByteArray("not json")}) {
        Loaded bad = load(dir, json);
        EXPECT_EQ(bad.log, QStringList{QStringLiteral("Ignore list is invalid")}) << json.constData();
        EXPECT_FALSE(bad.list.systemPaths());
        EXPECT_FALSE(bad.list.unremovablePaths());
        EXPECT_FALSE(bad.list.allowedPaths());
    }

    QStringList lines;
    auto previous = kz::setLogSink([&lines](const QString& line) { lines.append(line); });
    KZIgnoreList missing(QString::fromStdString(dir / "missing.json"));
    kz::setLogSink(previous);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_FALSE(missing.systemPaths());
}

TEST(IgnoreList, UnremovableFoldersHomesAndWhatHoldsThem)
{
    KZIgnoreList list = emptyList();
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/Users/ann/")));
    EXPECT_FALSE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/Users/ann/Documents/")));
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/home/ann")));
    EXPECT_FALSE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/home/ann/src")));
    // "/" and the folders that hold home folders.
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/")));
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/home")));
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/Users/")));
    const std::string home = KZIgnoreList::actualHomeDirectory();
    EXPECT_TRUE(list.pathIsUnremovable(home));
    if (home.size() > 1) {
        EXPECT_TRUE(list.pathIsUnremovable(home.substr(0, home.rfind('/') + 1)));
    }
    EXPECT_FALSE(list.pathIsUnremovable(kz_withTrailingSlash(home) + "inside"));
    // A home whose folders above are more than "/", as the user database names it...
    {
        kztest::ScopedHome ann("/srv/users/ann");
        kztest::ScopedEnvironment noHome("HOME", std::nullopt);
        EXPECT_TRUE(list.pathIsUnremovable("/srv/users/ann"));
        EXPECT_TRUE(list.pathIsUnremovable("/srv/users/"));
        EXPECT_TRUE(list.pathIsUnremovable("/srv"));
        EXPECT_FALSE(list.pathIsUnremovable("/srv/users/ann/music"));
        EXPECT_FALSE(list.pathIsUnremovable("/srv/users/bob"));
        EXPECT_FALSE(list.pathIsUnremovable("/srv/other/"));
    }
    // ...and the one $HOME names, and what holds it, as well.
    {
        kztest::ScopedEnvironment home("HOME", "/srv/people/ann/");
        EXPECT_TRUE(list.pathIsUnremovable("/srv/people/ann"));
        EXPECT_TRUE(list.pathIsUnremovable("/srv/people/"));
        EXPECT_TRUE(list.pathIsUnremovable("/srv"));
        EXPECT_FALSE(list.pathIsUnremovable("/srv/people/ann/music"));
    }

    // Listed folders match exactly; their contents are not unremovable; allowed paths don't
    // override.
    list.setUnremovablePaths(KZIgnoreList::PathList{"/srv/data/"});
    list.setAllowedPaths(KZIgnoreList::PathList{"/srv/"});
    EXPECT_TRUE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/srv/data")));
    EXPECT_FALSE(list.fileIsUnremovable(*KZDirectory::fileWithPath("/srv/data/x")));
    EXPECT_FALSE(list.fileIsUnremovable(*KZFile::fileWithPath("/srv/dat")));
}

TEST(IgnoreList, RecordAndPathAnswersAgree)
{
    KZIgnoreList list = emptyList();
    list.setIgnoredPaths(QStringList{"/r/skip"});
    list.setIgnoredExtensions(QStringList{"tmp"});
    KZDirectoryPtr root = KZDirectory::fileWithPath("/r");
    for (const char* name : {"skip", "keep", "a.tmp", "a.TMP", "b.txt"}) {
        KZFilePtr f = KZFile::childWithName(root.get(), name);
        root->addChild(f.get());
        KZDirectoryPtr d = KZDirectory::childWithName(root.get(), name);
        root->addChild(d.get());
        EXPECT_EQ(list.fileIsIgnored(*f), list.filePathIsIgnored(f->path())) << name;
        EXPECT_EQ(list.fileIsIgnored(*d), list.filePathIsIgnored(d->path())) << name;
    }
    EXPECT_TRUE(list.fileIsIgnored(*KZDirectory::fileWithPath("/r/skip")));
    EXPECT_FALSE(list.fileIsIgnored(*KZFile::fileWithPath("/r/b.txt")));
}

TEST(IgnoreList, TheShippedResource)
{
    KZIgnoreList list;
    ASSERT_TRUE(list.systemPaths());
    EXPECT_TRUE(list.pathIsChildOfSystemPath("/usr/lib/x"));
    EXPECT_TRUE(list.pathIsChildOfSystemPath("/proc/1"));
    EXPECT_FALSE(list.pathIsChildOfSystemPath("/usrx"));
    EXPECT_FALSE(list.pathIsChildOfSystemPath("/home/ann"));
    EXPECT_TRUE(list.pathIsUnremovable("/etc"));
    EXPECT_TRUE(list.pathIsUnremovable("/var/lib/"));
    EXPECT_FALSE(list.pathIsUnremovable("/var/lib/thing"));
}

} // namespace
