#pragma once
// When an item's statx record alone settles that the process may read it, so that a walk
// need not ask the system (faccessat) about every entry. The record settles it only where the
// kernel's common permission rules are all there is:
// - the process may read everything: CAP_DAC_READ_SEARCH or CAP_DAC_OVERRIDE in its effective
//   set, in the initial user namespace, not confined by a security profile that could refuse
//   the capability, and the item's owner and group are mapped ids (not the overflow ids);
// - or the process owns the item and the owner's bits grant the access: for the owner only
//   those bits count, access lists never narrow them.
// Nowhere else: a named user or group in an access list can narrow or widen what the group
// and other bits show, and statx does not tell whether an item has one. Only folders and
// regular files are answered (device nodes may be refused by a device policy), only on file
// systems whose permission check is the kernel's own (not network or FUSE file systems, not
// overlays, which also check with their mounter's rights), and never while a security module
// that judges every access (SELinux, Smack) is active. Everything else goes to the system.

#include <cstdint>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace kz {

class ReadAccessShortcut {
public:
    // What the answers depend on in the process.
    struct Identity {
        uid_t fsuid = uid_t(-1);      // the id the kernel checks access with
        bool readsEverything = false; // as above (capabilities, namespace, confinement)
        bool moduleJudges = true;     // a security module judges every access: never answer
        uint32_t overflowUid = 65534; // what statx shows for an unmapped owner
        uint32_t overflowGid = 65534;
    };

    // The calling thread's identity, read now (threads the caller starts inherit it).
    static Identity currentIdentity();

    ReadAccessShortcut() = default; // answers nothing
    explicit ReadAccessShortcut(const Identity& identity) : identity_(identity) {}

    // Whether items on a file system of this type (as the mount table names it), or with
    // this statfs magic, are judged by the kernel's common rules alone.
    static bool judgesByCommonRules(std::string_view type);
    static bool judgesByCommonRulesMagic(uint64_t magic);

    // True when the record settles that the process may read the item (a folder: list and
    // enter it), on a file system judged by the common rules; false: ask the system.
    bool grants(const struct statx& st) const
    {
        if (identity_.moduleJudges) return false;
        const unsigned type = st.stx_mode & S_IFMT;
        if (type != S_IFREG && type != S_IFDIR) return false;
        if (identity_.readsEverything && st.stx_uid != identity_.overflowUid && st.stx_gid != identity_.overflowGid)
            return true;
        if (st.stx_uid != identity_.fsuid || st.stx_uid == identity_.overflowUid) return false;
        const unsigned needed = type == S_IFDIR ? (S_IRUSR | S_IXUSR) : S_IRUSR;
        return (st.stx_mode & needed) == needed;
    }

    const Identity& identity() const { return identity_; }

private:
    Identity identity_;
};

} // namespace kz
