#pragma once
// In-memory trees, a recording delegate and fake desktop services for the treemap tests.

#include "model/KZFile.h"
#include "model/Preferences.h"
#include "platform/KZUserDefaults.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZWorkspace.h"
#include "tests/support/TestSupport.h"
#include "treemap/KZNestedTreemapView.h"
#include "treemap/KZNestedTreemapViewDelegate.h"
#include "treemap/KZTreemapColorRule.h"
#include "treemap/TQTheme.h"

#include <QEvent>

#include <QRectF>

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

inline void PrintTo(const QRectF& r, std::ostream* os)
{
    *os << "QRectF(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace treetest {

inline KZDirectoryPtr root(const std::string& path)
{
    return KZDirectory::fileWithPath(path);
}

inline KZDirectoryPtr dir(const KZDirectoryPtr& parent, const std::string& name)
{
    KZDirectoryPtr d = KZDirectory::childWithName(parent.get(), name);
    parent->addChild(d.get());
    return d;
}

inline KZFilePtr file(const KZDirectoryPtr& parent, const std::string& name, double size)
{
    KZFilePtr f = KZFile::childWithName(parent.get(), name);
    f->setFileSize(size);
    parent->addChild(f.get());
    return f;
}

// Settings over a temporary store, with no minimum size.
struct TestPreferences {
    kztest::TempDir dir;
    KZUserDefaults store{QString::fromStdString(dir / "settings.json")};
    Preferences preferences{store};
    TestPreferences() { preferences.setMinFileSize(0); }
};

// Records what the view asks of the desktop: reveals and opens, alerts and beeps.
struct FakeServices {
    KZRecordingWorkspace workspace;
    KZScopedAlertService alerts;
    int beeps = 0;
    FakeServices() { KZWorkspace::setShared(&workspace); }
    ~FakeServices() { KZWorkspace::setShared(nullptr); }
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;
    void attach(KZNestedTreemapView& view)
    {
        view.setBeep([this] { ++beeps; });
    }
    const std::vector<std::vector<std::string>>& revealed() const { return workspace.revealed; }
    const std::vector<std::string>& opened() const { return workspace.opened; }
};

// Answers with the colour rule of a theme; records what it is told.
struct RecordingDelegate : KZNestedTreemapViewDelegate {
    std::shared_ptr<TQTheme> theme = std::make_shared<TQThemeBlueSkies>();
    bool useDepth = true;
    std::set<std::string> ignoredNames; // fileIsIgnored answers yes for these names
    bool canRemove = true;
    bool removeAnswer = true;
    bool ignoreAnswer = true;

    std::vector<std::pair<std::string, bool>> zooms; // path shown, canGoUp
    int emptyCount = 0;
    int drawCount = 0;
    int movedCount = 0;
    int exitedCount = 0;
    KZTreemapNodePtr lastHovered;
    std::vector<std::string> ignored;
    std::vector<std::vector<KZFilePtr>> compressed;
    std::vector<std::vector<KZFilePtr>> removed;
    int ignoreQuestions = 0;

    void treemapViewDidZoomToDirectory(KZNestedTreemapView*, const KZDirectoryPtr& d, bool canGoUp) override
    {
        zooms.emplace_back(d->path(), canGoUp);
    }
    QColor treemapViewColorForNode(KZNestedTreemapView*, const KZTreemapNode& node, double percent, bool selected,
                                   bool reloading, int64_t depth) override
    {
        return KZTreemapColorRule::colorForNode(node, percent, selected, reloading, depth, *theme, useDepth);
    }
    void treemapViewIsEmpty(KZNestedTreemapView*) override { ++emptyCount; }
    void treemapViewDidDraw(KZNestedTreemapView*) override { ++drawCount; }
    void treemapViewMouseMovedToPoint(KZNestedTreemapView*, const QPointF&, const KZTreemapNodePtr& node) override
    {
        ++movedCount;
        lastHovered = node;
    }
    void treemapViewMouseExitedWithEvent(KZNestedTreemapView*, QEvent*) override { ++exitedCount; }
    bool treemapViewIgnoreFile(KZNestedTreemapView*, const KZFilePtr& f) override
    {
        ignored.push_back(f->path());
        return ignoreAnswer;
    }
    bool treemapViewFileIsIgnored(KZNestedTreemapView*, const KZFilePtr& f) override
    {
        ++ignoreQuestions;
        return ignoredNames.count(f->nameBytes()) != 0;
    }
    void treemapViewCompressFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files) override
    {
        compressed.push_back(files);
    }
    bool treemapViewCanRemoveFile(KZNestedTreemapView*, const KZFilePtr&) override { return canRemove; }
    bool treemapViewRemoveFiles(KZNestedTreemapView*, const std::vector<KZFilePtr>& files) override
    {
        removed.push_back(files);
        return removeAnswer;
    }
};

inline std::vector<std::string> names(const std::vector<KZFilePtr>& files)
{
    std::vector<std::string> out;
    for (const auto& f : files) out.push_back(f->nameBytes());
    return out;
}

} // namespace treetest
