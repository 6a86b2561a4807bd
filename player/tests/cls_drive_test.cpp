// clsDrive: roots, space, volume fields and flags, on the real file systems
// and on a stand-in whose answers the test sets.
#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "desktop/cls_drive.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

// Answers what the test put into it; `fail` makes every query fail.
class StubDrives final : public DriveSystem {
 public:
  platform::DriveQuery<platform::DiskSpace> DiskSpace(const std::string&) const override {
    if (fail) return platform::drive_failure(ENOENT);
    return space;
  }
  platform::DriveType DriveType(const std::string&) const override { return type; }
  platform::DriveQuery<platform::VolumeInfo> VolumeInfo(const std::string&) const override {
    if (fail) return platform::drive_failure(ENOENT);
    return volume;
  }
  int SetVolumeLabel(const std::string&, const std::string& label) const override {
    labelled = label;
    return fail ? EPERM : 0;
  }
  bool RootCanBeListed(const std::string&) const override { return !fail; }
  bool IsOnMountedFileSystem(const std::string&) const override { return !fail; }

  bool fail = false;
  platform::DiskSpace space;
  platform::DriveType type = platform::DriveType::fixed;
  platform::VolumeInfo volume;
  mutable std::string labelled;
};

TEST(ClsDrive_Drive, LettersBecomeOldRootsAndFoldersStayAsTheyAre) {
  clsDrive drive;
  EXPECT_EQ(drive.Drive(), QString());
  drive.Drive(QStringLiteral("e"));
  EXPECT_EQ(drive.Drive(), QStringLiteral("E:\\"));
  drive.Drive(QStringLiteral("c:"));
  EXPECT_EQ(drive.Drive(), QStringLiteral("C:\\"));
  drive.Drive(QStringLiteral("d:\\"));
  EXPECT_EQ(drive.Drive(), QStringLiteral("d:\\"));
  drive.Drive(QStringLiteral("/home/u/rec"));
  EXPECT_EQ(drive.Drive(), QStringLiteral("/home/u/rec"));
}

TEST(ClsDrive_Drive, ADriveLetterNamesNothingOnThisSystem) {
  clsDrive drive;
  drive.Drive(QStringLiteral("z"));
  EXPECT_FALSE(drive.Enabled());
  EXPECT_FALSE(drive.MediaCondition());
  EXPECT_EQ(drive.MediaType(), 1);  // no root directory
  EXPECT_EQ(drive.FreeSpace(), 0.0);
  EXPECT_EQ(drive.LastResult(), 0);
  EXPECT_EQ(drive.AllSpace(), 0.0);
}

TEST(ClsDrive_Drive, AFolderAnswersForItsFileSystem) {
  testkit::TempDir dir;
  clsDrive drive;
  drive.Drive(QString::fromStdString(dir.path().string()));
  EXPECT_TRUE(drive.Enabled());
  EXPECT_TRUE(drive.MediaCondition());
  EXPECT_GE(drive.MediaType(), 2);
  EXPECT_LE(drive.MediaType(), 6);
  EXPECT_FALSE(drive.FileSystem().isEmpty());
  EXPECT_GT(drive.MaxFileName(), 0);
  EXPECT_GT(drive.SectorByte(), 0);
  EXPECT_GT(drive.ClusterSector(), 0);

  struct statvfs info {};
  ASSERT_EQ(statvfs(dir.path().c_str(), &info), 0);
  const double block = static_cast<double>(info.f_frsize ? info.f_frsize : info.f_bsize);
  EXPECT_EQ(drive.AllSpace(), static_cast<double>(info.f_blocks) * block);
  EXPECT_GT(drive.FreeSpace(), 0.0);
  EXPECT_LE(drive.FreeSpace(), drive.AllSpace());
  EXPECT_EQ(drive.LastResult(), 1);

  // A file is no root.
  testkit::write_file(dir.file("f"), {});
  drive.Drive(QString::fromStdString(dir.file("f").string()));
  EXPECT_FALSE(drive.MediaCondition());
  EXPECT_EQ(drive.MediaType(), 1);
}

TEST(ClsDrive_Space, ByteCountsBeyond32BitsAreExact) {
  StubDrives stub;
  stub.space.free_bytes = 5'000'000'000'123ull;
  stub.space.available_bytes = 7;  // the caller's share is not what is asked
  stub.space.total_bytes = (1ull << 52) + 1;
  clsDrive drive(stub);
  drive.Drive(QStringLiteral("/data"));
  EXPECT_EQ(drive.FreeSpace(), 5'000'000'000'123.0);
  EXPECT_EQ(drive.AllSpace(), 4503599627370497.0);
}

TEST(ClsDrive_Space, AFailedRefreshKeepsTheFieldsOfTheLastOne) {
  StubDrives stub;
  stub.space.bytes_per_sector = 4096;
  stub.space.sectors_per_cluster = 8;
  clsDrive drive(stub);
  EXPECT_EQ(drive.SectorByte(), 4096);
  stub.fail = true;
  stub.space.bytes_per_sector = 512;
  stub.space.sectors_per_cluster = 1;
  EXPECT_EQ(drive.SectorByte(), 4096);
  EXPECT_EQ(drive.ClusterSector(), 8);
  EXPECT_EQ(drive.LastResult(), 0);
  EXPECT_EQ(drive.FreeSpace(), 0.0);
}

TEST(ClsDrive_Type, TypesAboveRamDiskAreUnknown) {
  StubDrives stub;
  clsDrive drive(stub);
  stub.type = platform::DriveType::ramdisk;
  EXPECT_EQ(drive.MediaType(), 6);
  stub.type = static_cast<platform::DriveType>(9);
  EXPECT_EQ(drive.MediaType(), 0);
}

TEST(ClsDrive_Volume, FieldsAndFlagsComeFromTheLastVolumeRefresh) {
  StubDrives stub;
  stub.volume = {"VOICE", 0x1234ABCD, 255, "vfat",
                 platform::kFsCasePreservedNames | platform::kFsUnicodeOnDisk};
  clsDrive drive(stub);
  EXPECT_FALSE(drive.Unicode());  // nothing read yet
  EXPECT_EQ(drive.Volume(), QStringLiteral("VOICE"));
  EXPECT_EQ(drive.FileSystem(), QStringLiteral("vfat"));
  EXPECT_EQ(drive.MaxFileName(), 255);
  EXPECT_EQ(drive.VolSerial(), 0x1234ABCD);
  EXPECT_TRUE(drive.Unicode());
  EXPECT_TRUE(drive.CasePreserved());
  EXPECT_FALSE(drive.CaseSensitive());
  EXPECT_FALSE(drive.ACLs());
  EXPECT_FALSE(drive.FileCompress());
  EXPECT_FALSE(drive.VolCompress());

  // The flags do not refresh by themselves.
  stub.volume.flags = platform::kFsCaseSensitiveSearch | platform::kFsPersistentAcls |
                      platform::kFsFileCompression | platform::kFsVolumeIsCompressed;
  EXPECT_TRUE(drive.Unicode());
  EXPECT_FALSE(drive.ACLs());
  drive.VolSerial();
  EXPECT_TRUE(drive.CaseSensitive());
  EXPECT_TRUE(drive.ACLs());
  EXPECT_TRUE(drive.FileCompress());
  EXPECT_TRUE(drive.VolCompress());
  EXPECT_FALSE(drive.Unicode());

  // A read-only volume is not a compressed one.
  stub.volume.flags = platform::kFsReadOnlyVolume;
  drive.FileSystem();
  EXPECT_FALSE(drive.VolCompress());

  // A failed refresh leaves what the last one found.
  stub.fail = true;
  EXPECT_EQ(drive.Volume(), QStringLiteral("VOICE"));
  EXPECT_EQ(drive.LastResult(), 0);
}

TEST(ClsDrive_Volume, SettingTheLabelReportsThroughTheLastResult) {
  StubDrives stub;
  clsDrive drive(stub);
  drive.Volume(QStringLiteral("MEMO"));
  EXPECT_EQ(stub.labelled, "MEMO");
  EXPECT_EQ(drive.LastResult(), 1);
  stub.fail = true;
  drive.Volume(QStringLiteral("MEMO"));
  EXPECT_EQ(drive.LastResult(), 0);
}

TEST(ClsDrive_ShowFormat, FailsAndSwapsTheFirstTwoOptions) {
  clsDrive drive;
  int32_t hwnd = 0, number = 2;
  for (auto [given, left] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{2, 2}}) {
    int32_t options = given;
    EXPECT_EQ(drive.ShowFormat(hwnd, number, options), -1);
    EXPECT_EQ(options, left);
  }
}

}  // namespace
}  // namespace calendo
