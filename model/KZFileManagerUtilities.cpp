#include "model/KZFileManagerUtilities.h"

#include "model/KZTreeWalker.h"
#include "platform/KZDispatch.h"

#include <QObject>
#include <QPointer>

#include <sys/stat.h>

bool kz_pathIsDirectory(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void kz_fileSizeForPath(const std::string& path, std::function<void(double bytes)> block, const QObject* context)
{
    if (!kz_pathIsDirectory(path)) {
        struct stat st {};
        block(::stat(path.c_str(), &st) == 0 ? double(st.st_size) : 0.0);
        return;
    }
    QPointer<QObject> guard(const_cast<QObject*>(context));
    const bool hadContext = context != nullptr;
    KZRunInBackground([path, guard, hadContext, block = std::move(block)]() mutable {
        // Counted through the folder even when it is a link to one.
        std::string real = path;
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            real = resolved;
            ::free(resolved);
        }
        const double total = double(kz::deepSizeOfFolder(real));
        KZRunOnMainThread([total, guard, hadContext, block = std::move(block)] {
            if (hadContext && !guard) return;
            block(total);
        });
    });
}
