#include "platform/KZPackages.h"

#include "platform/KZDirectoryIO.h"

#include <sys/stat.h>

bool kz_isPackageName(std::string_view name)
{
    while (!name.empty() && name.back() == '/') name.remove_suffix(1);
    if (const size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view ext = name.substr(dot + 1);
    if (ext.empty() || ext.size() > 12) return false;
    char lower[12];
    for (size_t i = 0; i < ext.size(); ++i) {
        const char c = ext[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    const std::string_view e(lower, ext.size());
    return e == "app" || e == "bundle" || e == "plugin" || e == "kext" || e == "rtfd" || e == "sparsebundle" ||
           e == "pkg" || e == "xcodeproj";
}

bool kz_isPackageAtPath(const std::string& path)
{
    if (!kz_isPackageName(path)) return false;
    struct statx st {};
    return kz::statPath(path, STATX_TYPE, st) == 0 && S_ISDIR(st.stx_mode);
}
