#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drives.h"

namespace {

using platform::MountEntry;

TEST(Drives_MountinfoLine, ParsesEveryField) {
  const auto entry = platform::parse_mountinfo_line(
      "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 shared:7 - ext3 /dev/root "
      "rw,errors=continue");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->mount_id, 36u);
  EXPECT_EQ(entry->parent_id, 35u);
  EXPECT_EQ(entry->major, 98u);
  EXPECT_EQ(entry->minor, 0u);
  EXPECT_EQ(entry->root, "/mnt1");
  EXPECT_EQ(entry->mount_point, "/mnt/parent");
  EXPECT_EQ(entry->mount_options, "rw,noatime");
  EXPECT_EQ(entry->optional_fields, (std::vector<std::string>{"master:1", "shared:7"}));
  EXPECT_EQ(entry->file_system, "ext3");
  EXPECT_EQ(entry->source, "/dev/root");
  EXPECT_EQ(entry->super_options, "rw,errors=continue");
}

TEST(Drives_MountinfoLine, DecodesOctalEscapesAndKeepsEmptySource) {
  const auto entry = platform::parse_mountinfo_line(
      "40 27 8:17 / /media/user/MY\\040VOICE\\134REC rw - vfat  rw,fmask=0022");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->mount_point, "/media/user/MY VOICE\\REC");
  EXPECT_EQ(entry->source, "");
  EXPECT_EQ(entry->super_options, "rw,fmask=0022");
  EXPECT_TRUE(entry->optional_fields.empty());
}

TEST(Drives_MountinfoLine, ToleratesAMissingSuperOptionsField) {
  const auto entry = platform::parse_mountinfo_line("22 27 0:21 / /proc rw - proc proc");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->source, "proc");
  EXPECT_EQ(entry->super_options, "");
}

TEST(Drives_MountinfoLine, RefusesMalformedLines) {
  const char* bad[] = {
      "",
      "36 35 98:0 /mnt1 /mnt/parent rw",                            // no separator
      "36 35 98:0 /mnt1 /mnt/parent rw - ext3",                     // no source
      "36 35 98:0 /mnt1 /mnt/parent rw - ext3 /dev/root rw extra",  // field too many
      "x 35 98:0 / /mnt rw - ext3 /dev/root rw",                    // id not a number
      "36 35 98 / /mnt rw - ext3 /dev/root rw",                     // device without colon
      "36 35 98:4294967296 / /mnt rw - ext3 /dev/root rw",          // minor overflows
      "36 35 98:0 / relative rw - ext3 /dev/root rw",               // not absolute
      "36 35 98:0 / /mnt\\000x rw - ext3 /dev/root rw",             // NUL in the path
      "36 35 98:0 / /mnt rw  - ext3 /dev/root rw",                  // empty optional field
      "36 35 98:0 / - rw - ext3 /dev/root rw",                      // separator too early
  };
  for (const char* line : bad) {
    EXPECT_FALSE(platform::parse_mountinfo_line(line).has_value()) << line;
  }
}

TEST(Drives_MountinfoEscapes, KeepsBackslashesThatAreNoEscape) {
  EXPECT_EQ(platform::decode_mountinfo_escapes("a\\040b"), "a b");
  EXPECT_EQ(platform::decode_mountinfo_escapes("\\011\\012"), "\t\n");
  EXPECT_EQ(platform::decode_mountinfo_escapes("end\\04"), "end\\04");
  EXPECT_EQ(platform::decode_mountinfo_escapes("\\400"), "\\400");  // above a byte
  EXPECT_EQ(platform::decode_mountinfo_escapes("\\08x"), "\\08x");
  EXPECT_EQ(platform::decode_mountinfo_escapes("\\"), "\\");
  EXPECT_EQ(platform::decode_mountinfo_escapes("\\377"), "\xff");
}

TEST(Drives_MountinfoText, SkipsBadLinesAndReadsLongOnes) {
  const std::string deep = "/" + std::string(10000, 'd');
  const std::string text =
      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
      "garbage line\n"
      "\n"
      "50 27 0:40 / " +
      deep + " rw - tmpfs tmpfs rw";  // no final newline
  const auto mounts = platform::parse_mountinfo(text);
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].mount_point, "/");
  EXPECT_EQ(mounts[1].mount_point, deep);
}

std::vector<MountEntry> crafted_mounts() {
  return platform::parse_mountinfo(
      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
      "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
      "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
      "30 25 0:27 / /dev/shm rw - tmpfs tmpfs rw,size=4k\n"
      "31 27 8:1 / /media/a rw - vfat /dev/sda1 rw\n");
}

TEST(Drives_FindMount, TakesTheLongestCoveringMountPoint) {
  const auto mounts = crafted_mounts();
  EXPECT_EQ(platform::find_mount(mounts, "/")->mount_id, 27u);
  EXPECT_EQ(platform::find_mount(mounts, "/home/user")->mount_id, 27u);
  EXPECT_EQ(platform::find_mount(mounts, "/dev/null")->mount_id, 24u);
  EXPECT_EQ(platform::find_mount(mounts, "/media/a/voice")->mount_id, 31u);
  // Component by component: /dev/shmx is not inside /dev/shm, /media/ab not in /media/a.
  EXPECT_EQ(platform::find_mount(mounts, "/dev/shmx")->mount_id, 24u);
  EXPECT_EQ(platform::find_mount(mounts, "/media/ab")->mount_id, 27u);
}

TEST(Drives_FindMount, LaterMountOverTheSamePointWins) {
  const auto mounts = crafted_mounts();
  EXPECT_EQ(platform::find_mount(mounts, "/dev/shm")->mount_id, 30u);
  EXPECT_EQ(platform::find_mount(mounts, "/dev/shm/x")->mount_id, 30u);
}

TEST(Drives_FindMount, NothingCoversARelativeOrEmptyPath) {
  const auto mounts = crafted_mounts();
  EXPECT_EQ(platform::find_mount(mounts, ""), nullptr);
  EXPECT_EQ(platform::find_mount(mounts, "home"), nullptr);
  EXPECT_EQ(platform::find_mount({}, "/"), nullptr);
}

TEST(Drives_FileSystemKind, GivesTheDriveTypeInWindowsNumbers) {
  EXPECT_EQ(static_cast<int>(platform::drive_type_of_file_system("tmpfs")), 6);
  EXPECT_EQ(static_cast<int>(platform::drive_type_of_file_system("nfs4")), 4);
  EXPECT_EQ(static_cast<int>(platform::drive_type_of_file_system("fuse.sshfs")), 4);
  EXPECT_EQ(static_cast<int>(platform::drive_type_of_file_system("iso9660")), 5);
  EXPECT_EQ(static_cast<int>(platform::drive_type_of_file_system("ext4")), 3);
}

TEST(Drives_FileSystemFlags, FollowTheKindOfFileSystem) {
  using namespace platform;
  const uint32_t ext4 = file_system_flags("ext4", "rw", false);
  EXPECT_EQ(ext4, kFsCaseSensitiveSearch | kFsCasePreservedNames | kFsPersistentAcls |
                      kFsSupportsSparseFiles);
  const uint32_t fat = file_system_flags("vfat", "rw", false);
  EXPECT_EQ(fat, kFsCasePreservedNames | kFsUnicodeOnDisk);
  EXPECT_EQ(file_system_flags("msdos", "", false), 0u);
  EXPECT_NE(file_system_flags("iso9660", "ro", true) & kFsReadOnlyVolume, 0u);
  EXPECT_EQ(file_system_flags("btrfs", "rw,ssd", false) & kFsVolumeIsCompressed, 0u);
  EXPECT_NE(file_system_flags("btrfs", "rw,compress=zstd:3", false) & kFsVolumeIsCompressed, 0u);
  EXPECT_NE(file_system_flags("btrfs", "compress-force=lzo", false) & kFsFileCompression, 0u);
}

TEST(Drives_Serial, ComesFromTheUuidAsUdevSpellsIt) {
  EXPECT_EQ(platform::serial_from_uuid("1234-ABCD"), 0x1234ABCDu);
  EXPECT_EQ(platform::serial_from_uuid("0123456789ABCDEF"), 0x89ABCDEFu);
  EXPECT_EQ(platform::serial_from_uuid("d0f1e2c3-1111-2222-3333-444455556666"), 0xD0F1E2C3u);
  EXPECT_FALSE(platform::serial_from_uuid("").has_value());
  EXPECT_FALSE(platform::serial_from_uuid("not-hex").has_value());
}

TEST(Drives_UdevEscapes, DecodeHexBytes) {
  EXPECT_EQ(platform::decode_udev_escapes("MY\\x20VOICE"), "MY VOICE");
  EXPECT_EQ(platform::decode_udev_escapes("a\\x2fb"), "a/b");
  EXPECT_EQ(platform::decode_udev_escapes("odd\\x2"), "odd\\x2");
  EXPECT_EQ(platform::decode_udev_escapes("\\xzz"), "\\xzz");
}

}  // namespace
