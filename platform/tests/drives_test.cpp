// Drive queries against the file systems of the machine the tests run on.
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/drives.h"
#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveType;

const platform::MountEntry* mount_at(const std::vector<platform::MountEntry>& mounts,
                                     const std::string& point) {
  const platform::MountEntry* found = platform::find_mount(mounts, point);
  return found != nullptr && found->mount_point == point ? found : nullptr;
}

TEST(Drives_Root, IsAMountPointWithExactSpace) {
  const auto where = platform::locate_mount("/");
  ASSERT_TRUE(where.ok()) << where.fault().message;
  EXPECT_EQ(where.value().path, "/");
  EXPECT_EQ(where.value().mount.mount_point, "/");
  EXPECT_TRUE(where.value().is_mount_point);
  EXPECT_TRUE(platform::is_on_mounted_file_system("/"));
  EXPECT_TRUE(platform::root_can_be_listed("/"));

  const auto space = platform::disk_space("/");
  ASSERT_TRUE(space.ok()) << space.fault().message;
  struct statvfs info {};
  ASSERT_EQ(::statvfs("/", &info), 0);
  const uint64_t block = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  EXPECT_EQ(space.value().total_bytes, uint64_t{info.f_blocks} * block);
  EXPECT_GT(space.value().total_bytes, 0u);
  EXPECT_LE(space.value().free_bytes, space.value().total_bytes);
  EXPECT_LE(space.value().available_bytes, space.value().free_bytes);
  // The cluster view describes the same file system block.
  EXPECT_EQ(uint64_t{space.value().bytes_per_sector} * space.value().sectors_per_cluster, block);
  if (info.f_blocks <= UINT32_MAX) {
    EXPECT_EQ(space.value().total_clusters, info.f_blocks);
  }
}

TEST(Drives_Root, TypeAndVolumeFollowItsFileSystem) {
  const auto where = platform::locate_mount("/");
  ASSERT_TRUE(where.ok());
  const DriveType type = platform::drive_type("/");
  const DriveType by_kind = platform::drive_type_of_file_system(where.value().mount.file_system);
  if (type != DriveType::removable) {
    EXPECT_EQ(type, by_kind);
  }

  const auto volume = platform::volume_info("/");
  ASSERT_TRUE(volume.ok()) << volume.fault().message;
  EXPECT_EQ(volume.value().file_system, where.value().mount.file_system);
  struct statvfs info {};
  ASSERT_EQ(::statvfs("/", &info), 0);
  EXPECT_EQ(volume.value().max_name_length, info.f_namemax);
  EXPECT_EQ((volume.value().flags & platform::kFsReadOnlyVolume) != 0,
            (info.f_flag & ST_RDONLY) != 0);
}

TEST(Drives_Tmpfs, IsARamDisk) {
  const auto mounts = platform::mounted_file_systems();
  ASSERT_TRUE(mounts.ok()) << mounts.fault().message;
  const platform::MountEntry* shm = platform::find_mount(mounts.value(), "/dev/shm");
  if (shm == nullptr || shm->mount_point != "/dev/shm" || shm->file_system != "tmpfs") {
    GTEST_SKIP() << "no tmpfs mounted at /dev/shm on this machine";
  }
  EXPECT_EQ(platform::drive_type("/dev/shm"), DriveType::ramdisk);
  const auto volume = platform::volume_info("/dev/shm");
  ASSERT_TRUE(volume.ok()) << volume.fault().message;
  EXPECT_EQ(volume.value().file_system, "tmpfs");
  EXPECT_EQ(volume.value().label, "");
  EXPECT_NE(volume.value().flags & platform::kFsCaseSensitiveSearch, 0u);
  const auto space = platform::disk_space("/dev/shm");
  ASSERT_TRUE(space.ok());
  EXPECT_EQ(space.value().bytes_per_sector, 512u);  // no device behind it
}

TEST(Drives_Proc, IsAListableFixedMount) {
  const auto mounts = platform::mounted_file_systems();
  ASSERT_TRUE(mounts.ok());
  const platform::MountEntry* proc = mount_at(mounts.value(), "/proc");
  if (proc == nullptr) GTEST_SKIP() << "/proc is not mounted";
  EXPECT_EQ(proc->file_system, "proc");
  EXPECT_EQ(platform::drive_type("/proc"), DriveType::fixed);
  EXPECT_TRUE(platform::root_can_be_listed("/proc"));
  const auto where = platform::locate_mount("/proc/self/");
  ASSERT_TRUE(where.ok());
  EXPECT_EQ(where.value().mount.mount_point, "/proc");
  EXPECT_FALSE(where.value().is_mount_point);
}

TEST(Drives_Folder, InsideAMountAnswersForThatMount) {
  testkit::TempDir folder;
  ASSERT_FALSE(folder.path().string().empty());
  const std::string inner = folder.path().string() + "/voice";
  ASSERT_TRUE(fs::create_directory(inner));
  const auto where = platform::locate_mount(inner + "/");
  ASSERT_TRUE(where.ok()) << where.fault().message;
  EXPECT_FALSE(where.value().is_mount_point);
  EXPECT_EQ(where.value().path, fs::canonical(inner).string());
  const auto parent = platform::locate_mount(folder.path().string());
  ASSERT_TRUE(parent.ok());
  EXPECT_EQ(where.value().mount.mount_id, parent.value().mount.mount_id);
  EXPECT_TRUE(platform::is_on_mounted_file_system(inner));
  EXPECT_TRUE(platform::root_can_be_listed(inner));
  EXPECT_EQ(platform::disk_space(inner).value().total_bytes,
            platform::disk_space(folder.path().string()).value().total_bytes);
}

TEST(Drives_Folder, RelativeRootsResolveAgainstTheWorkingDirectory) {
  const auto here = platform::locate_mount(".");
  ASSERT_TRUE(here.ok());
  EXPECT_EQ(here.value().path, fs::current_path().string());
}

TEST(Drives_Missing, RootsThatDoNotExistAnswerNoRootDir) {
  testkit::TempDir folder;
  ASSERT_FALSE(folder.path().string().empty());
  const std::string file = folder.path().string() + "/file.wav";
  std::ofstream(file) << "x";
  const std::string missing = folder.path().string() + "/no/such/folder";
  for (const std::string& root : {missing, std::string("E:\\"), std::string("c:"), std::string()}) {
    EXPECT_EQ(platform::drive_type(root), DriveType::no_root_dir) << root;
    EXPECT_EQ(platform::query_error(platform::locate_mount(root)), ENOENT) << root;
    EXPECT_EQ(platform::query_error(platform::disk_space(root)), ENOENT) << root;
    EXPECT_EQ(platform::query_error(platform::volume_info(root)), ENOENT) << root;
    EXPECT_FALSE(platform::root_can_be_listed(root)) << root;
    EXPECT_FALSE(platform::is_on_mounted_file_system(root)) << root;
  }
  EXPECT_EQ(platform::drive_type(file), DriveType::no_root_dir);
  EXPECT_EQ(platform::query_error(platform::disk_space(file)), ENOTDIR);
  EXPECT_FALSE(platform::is_on_mounted_file_system(file));
  EXPECT_EQ(platform::set_volume_label(missing, "VOICE"), ENOENT);
  EXPECT_EQ(platform::set_volume_label(folder.path().string(), std::string(300, 'L')), EINVAL);
}

TEST(Drives_Mounts, ListIncludesTheRoot) {
  const auto mounts = platform::mounted_file_systems();
  ASSERT_TRUE(mounts.ok());
  EXPECT_NE(mount_at(mounts.value(), "/"), nullptr);
}

}  // namespace
