#include "platform/KZSystemVersion.h"

#include <cstdio>
#include <sys/utsname.h>

namespace kz {

double operatingSystemVersion()
{
    static const double version = [] {
        utsname u{};
        if (::uname(&u) != 0) return 0.0;
        int major = 0, minor = 0;
        if (std::sscanf(u.release, "%d.%d", &major, &minor) < 1) return 0.0;
        return major + minor / 1000.0;
    }();
    return version;
}

bool isOperatingSystemAtLeastVersion(double version)
{
    return operatingSystemVersion() >= version;
}

} // namespace kz
