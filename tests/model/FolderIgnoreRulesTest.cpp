#include "model/KZFolderIgnoreRules.h"
#include "model/KZIgnoreList.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Names with and without extensions, in both cases, not ASCII and not UTF-8.
const std::vector<std::string> kNames = {"a",      "b",    "ab",   "a.jpg", "B.JPG", "c.Jpg", "caf.\xc3\x89",
                                         "x.\xff", ".jpg", "dot.", "sys",   "keep"};

std::string randomPath(std::mt19937& rng, size_t maxDepth)
{
    std::string p;
    const size_t depth = rng() % (maxDepth + 1);
    for (size_t i = 0; i < depth; ++i) p += "/" + kNames[rng() % kNames.size()];
    return p.empty() ? "/" : p;
}

// An entry as users and resources write them: with or without a final "/", sometimes odd.
std::string randomEntry(std::mt19937& rng)
{
    switch (rng() % 10) {
    case 0:
        return "/";
    case 1:
        return "";
    case 2:
        return randomPath(rng, 3) + "//";
    case 3:
        return "a/b"; // relative: matches nothing real
    case 4:
    case 5:
        return randomPath(rng, 3) + "/";
    default:
        return randomPath(rng, 3);
    }
}

KZIgnoreList randomList(std::mt19937& rng)
{
    KZIgnoreList list(QStringLiteral("/nonexistent/IgnoreList.json"));
    auto entries = [&rng](size_t max) {
        KZIgnoreList::PathList out;
        const size_t n = rng() % (max + 1);
        for (size_t i = 0; i < n; ++i) out.push_back(randomEntry(rng));
        return out;
    };
    if (rng() % 4) list.setSystemPaths(entries(4));
    if (rng() % 3 == 0) list.setAllowedPaths(entries(2));
    if (rng() % 4) {
        QStringList paths;
        for (const std::string& e : entries(4)) paths.append(QString::fromUtf8(e.data(), qsizetype(e.size())));
        list.setIgnoredPaths(paths);
    }
    if (rng() % 2) {
        QStringList ext;
        const QStringList pool{"jpg", "JPG", QStringLiteral("é"), "txt", ""};
        for (int i = int(rng() % 3); i > 0; --i) ext.append(pool[int(rng() % pool.size())]);
        list.setIgnoredExtensions(ext);
    }
    return list;
}

TEST(FolderIgnoreRules, AnswerAsTheListDoesForEveryItem)
{
    std::mt19937 rng(20240611);
    int ignored = 0, system = 0, plain = 0;
    for (int round = 0; round < 400; ++round) {
        const KZIgnoreList list = randomList(rng);
        const std::string rootPath = randomPath(rng, 2);
        // Walk down from the root the way a scan does, deriving the rules folder by folder,
        // and compare every answer with the list's own tests on the whole path.
        KZFolderIgnoreRules::Ptr rules = KZFolderIgnoreRules::forFolder(list, rootPath);
        std::string folder = rootPath == "/" ? "/" : rootPath + "/";
        for (int depth = 0; depth < 5; ++depth) {
            for (const std::string& name : kNames) {
                const std::string item = folder + name;
                const KZFolderIgnoreRules::Answer a = rules->answerForItem(name);
                ASSERT_EQ(a.ignored, list.filePathIsIgnored(item)) << item << " round " << round;
                ASSERT_EQ(a.system, list.pathIsChildOfSystemPath(item)) << item << " round " << round;
                ASSERT_EQ(a.ignored, list.filePathIsIgnored(item + "/")) << item;
                ignored += a.ignored;
                system += a.system;
                plain += !a.ignored && !a.system;
            }
            const std::string& next = kNames[rng() % kNames.size()];
            rules = KZFolderIgnoreRules::forChildFolder(rules, next);
            folder += next + "/";
            // The rules made for the folder directly agree with the derived ones.
            const KZFolderIgnoreRules::Ptr direct = KZFolderIgnoreRules::forFolder(list, folder);
            for (const std::string& name : kNames) {
                ASSERT_EQ(direct->answerForItem(name).ignored, rules->answerForItem(name).ignored) << folder << name;
                ASSERT_EQ(direct->answerForItem(name).system, rules->answerForItem(name).system) << folder << name;
            }
        }
    }
    // Every kind of answer came up.
    EXPECT_GT(ignored, 1000);
    EXPECT_GT(system, 1000);
    EXPECT_GT(plain, 1000);
}

TEST(FolderIgnoreRules, SharedWhereNothingBelowCanMatch)
{
    KZIgnoreList list(QStringLiteral("/nonexistent/IgnoreList.json"));
    list.setSystemPaths(KZIgnoreList::PathList{"/usr/", "/srv/a/b/"});
    const KZFolderIgnoreRules::Ptr home = KZFolderIgnoreRules::forFolder(list, "/home/ann");
    EXPECT_EQ(KZFolderIgnoreRules::forChildFolder(home, "src"), home);
    const KZFolderIgnoreRules::Ptr srv = KZFolderIgnoreRules::forFolder(list, "/srv/");
    const KZFolderIgnoreRules::Ptr a = KZFolderIgnoreRules::forChildFolder(srv, "a");
    EXPECT_NE(a, srv);
    EXPECT_TRUE(a->answerForItem("b").system);
    EXPECT_FALSE(a->answerForItem("c").system);
    const KZFolderIgnoreRules::Ptr b = KZFolderIgnoreRules::forChildFolder(a, "b");
    EXPECT_TRUE(b->answerForItem("anything").system);
    EXPECT_EQ(KZFolderIgnoreRules::forChildFolder(b, "deeper"), b);
}

} // namespace
