#include "model/KZTreeWalker.h"
#include "platform/KZMountTable.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Kind = KZMountTable::Kind;

TEST(MountTable, KindsByTypeName)
{
    for (const char* t :
         {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "debugfs", "tracefs", "securityfs", "pstore",
          "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "autofs", "binfmt_misc", "efivarfs"})
        EXPECT_EQ(KZMountTable::kindOfType(t), Kind::Pseudo) << t;
    for (const char* t : {"nfs", "nfs4", "cifs", "smb3", "9p", "afs", "ceph", "glusterfs", "fuse.glusterfs", "lustre",
                          "fuse.sshfs", "davfs"})
        EXPECT_EQ(KZMountTable::kindOfType(t), Kind::Network) << t;
    for (const char* t : {"ext4", "xfs", "btrfs", "tmpfs", "overlay", "vfat", "fuse", ""})
        EXPECT_EQ(KZMountTable::kindOfType(t), Kind::Local) << t;
    EXPECT_EQ(KZMountTable::kindOfMagic(0x9fa0), Kind::Pseudo);      // proc
    EXPECT_EQ(KZMountTable::kindOfMagic(0x62656572), Kind::Pseudo);  // sysfs
    EXPECT_EQ(KZMountTable::kindOfMagic(0x6969), Kind::Network);     // nfs
    EXPECT_EQ(KZMountTable::kindOfMagic(0xff534d42), Kind::Network); // cifs
    EXPECT_EQ(KZMountTable::kindOfMagic(0xef53), Kind::Local);       // ext4
}

TEST(MountTable, ParsesMountInfoByDevice)
{
    const KZMountTable table =
        KZMountTable::fromMountInfo("22 1 253:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
                                    "40 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
                                    "41 22 0:48 / /mnt/with\\040space rw - fuse.sshfs user@host:/ rw\n"
                                    "42 22 0:5 / /dev rw - devtmpfs devtmpfs rw\n"
                                    "garbage line\n"
                                    "43 22 0:60 / /mnt/nas rw,relatime - nfs4 nas:/export rw\n");
    EXPECT_EQ(table.typeOfDevice((uint64_t(253) << 32) | 1), "ext4");
    EXPECT_EQ(table.kindOfDevice((uint64_t(0) << 32) | 21), Kind::Pseudo);
    EXPECT_EQ(table.kindOfDevice(48), Kind::Network);
    EXPECT_EQ(table.kindOfDevice(5), Kind::Pseudo);
    EXPECT_EQ(table.kindOfDevice(60), Kind::Network);
    EXPECT_EQ(table.kindOfDevice(99), std::nullopt);
}

TEST(MountTable, TheRunningSystem)
{
    const KZMountTable table = KZMountTable::current();
    struct statx st {};
    ASSERT_EQ(::statx(AT_FDCWD, "/proc/self", AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &st), 0);
    EXPECT_EQ(table.kindOfDevice(kz::deviceOf(st)), Kind::Pseudo);
    const int fd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(KZMountTable::kindOfOpenFolder(fd), Kind::Pseudo);
    ::close(fd);
}

} // namespace
