// Temporary: a minimal folder scanner so that the treemap's rescan can be built and tested
// before the real scanner is merged. Walks serially with the tree walker, makes one record per
// entry, and reports the current path and the finished tree on the main thread.
#include "model/KZFileScanner.h"

#include "model/KZTreeWalker.h"
#include "platform/KZDispatch.h"

#include <QObject>

struct KZFileScanner::Scan {};

std::shared_ptr<KZFileScanner> KZFileScanner::scannerWithPaths(const std::vector<std::string>& paths,
                                                               double minimumFileSize)
{
    return std::shared_ptr<KZFileScanner>(new KZFileScanner(paths, minimumFileSize));
}

KZFileScanner::KZFileScanner(std::vector<std::string> paths, double minimumFileSize)
    : paths_(std::move(paths)), minimumFileSize_(minimumFileSize)
{
}

KZFileScanner::~KZFileScanner() = default;

void KZFileScanner::setOwner(QObject* owner)
{
    owner_ = owner;
    hasOwner_ = owner != nullptr;
}

void KZFileScanner::start()
{
    if (paths_.empty()) {
        if (failureBlock_) failureBlock_(QString());
        return;
    }
    auto self = shared_from_this();
    KZRunInBackground([self] {
        std::string root = self->paths_.front();
        while (root.size() > 1 && root.back() == '/') root.pop_back();
        KZDirectoryPtr top = KZDirectory::fileWithPath(root, true);
        std::vector<KZDirectory*> stack{top.get()};
        kz::TreeWalkCallbacks callbacks;
        callbacks.visit = [&](const kz::WalkEntry& e) {
            while (stack.size() > e.depth) stack.pop_back();
            KZDirectory* parent = stack.back();
            if (self->wasCancelled()) return kz::WalkAction::Stop;
            if (kz::isDirectoryMode(e.st.stx_mode)) {
                KZDirectoryPtr d = KZDirectory::childWithName(parent, e.name);
                parent->addChild(d.get());
                stack.push_back(d.get());
            } else {
                const double size = double(e.st.stx_size);
                if (self->minimumFileSize_ > 0 && size < self->minimumFileSize_) {
                    parent->addIgnoredSize(size);
                    return kz::WalkAction::Continue;
                }
                KZFilePtr f = KZFile::childWithName(parent, e.name);
                f->setFileSize(size);
                parent->addChild(f.get());
            }
            std::string current = e.path;
            KZRunOnMainThread([self, current] {
                if (self->hasOwner_ && !self->owner_) return;
                if (self->currentPathBlock_) self->currentPathBlock_(current);
            });
            return kz::WalkAction::Continue;
        };
        kz::walkTree(root, callbacks);
        KZRunOnMainThread([self, top] {
            if (self->hasOwner_ && !self->owner_) return;
            if (self->wasCancelled()) {
                if (self->cancelledBlock_) self->cancelledBlock_();
                return;
            }
            if (self->completionBlock_) self->completionBlock_({KZFilePtr(top)});
        });
    });
}
