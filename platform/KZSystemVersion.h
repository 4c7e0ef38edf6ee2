#pragma once
// Tests of the running system's version: the kernel release, as "major.minor".

namespace kz {
// The kernel's version as major + minor / 1000 (6.18 gives 6.018); 0 when unknown.
double operatingSystemVersion();
bool isOperatingSystemAtLeastVersion(double version);
} // namespace kz
