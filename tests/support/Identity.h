#pragma once
// Test helpers for items' identities: another program's file written anew where a deleted one
// was (which the file system gives the old inode number), and identities made as on file
// systems that lack birth times or file handles.

#include "platform/KZFileIdentity.h"

#include <string>

namespace kztest {

// Deletes the file at the path and writes a new one of `size` bytes in its place, as another
// program would some time later (a later tick of the clock), until the new file has the old
// one's inode number (ext4 hands it out at once). False when the file system never gave it back; the path then holds a new file with
// another inode.
bool rewriteWithSameInode(const std::string& path, long long size);

// The identity a scan recorded for the file at the path, after which another program deleted
// it and wrote a new one (of `size` bytes) that has the old file's inode number: the device and
// inode of the new file with the old file's stamp. The new file gets the old number where the
// file system hands it out (rewriteWithSameInode); where it doesn't (another process took
// it), the recorded identity is the old stamp under the new number, which is what the scan
// would have recorded had the old file had that number.
kz::FileIdentity scannedIdentityOfAFileWrittenAnew(const std::string& path, long long size);

// Identities made as with these limits for the life of the object.
class ScopedIdentityLimits {
public:
    explicit ScopedIdentityLimits(kz::IdentityLimits limits) { kz::setIdentityLimitsForTesting(limits); }
    ~ScopedIdentityLimits() { kz::setIdentityLimitsForTesting({}); }
    ScopedIdentityLimits(const ScopedIdentityLimits&) = delete;
    ScopedIdentityLimits& operator=(const ScopedIdentityLimits&) = delete;
};

// The three ways an identity can be made, by what the file system keeps.
enum class IdentityFileSystem { WithBirthTimes, WithHandlesOnly, WithNeither };
kz::IdentityLimits limitsFor(IdentityFileSystem fs);
const char* nameOf(IdentityFileSystem fs);

} // namespace kztest
