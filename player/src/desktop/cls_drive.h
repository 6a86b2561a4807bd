// clsDrive: answers questions about the file system that holds one root
// (free and total space, cluster geometry, type, label, file-system name and
// flags, whether it is there and can be listed).
//
// A root is a directory: the drive is the mounted file system that holds it.
// A one-letter name keeps its old meaning, "c" stands for "C:\", and names a
// drive that Linux never has. Every read member asks the file systems at the
// moment it is read, except the six flag members, which read the flags left by
// the last volume refresh (read Volume, FileSystem, MaxFileName or VolSerial
// first). The platform's queries come through a DriveSystem, which tests
// replace with a stand-in.
//
// Threads: the window thread only (an instance holds unguarded fields).
#pragma once

#include <cstdint>
#include <string>

#include <QString>

#include "platform/drives.h"

namespace calendo {

// The queries clsDrive makes; PlatformDriveSystem() answers them for real.
class DriveSystem {
 public:
  virtual ~DriveSystem() = default;
  virtual platform::DriveQuery<platform::DiskSpace> DiskSpace(const std::string& root) const = 0;
  virtual platform::DriveType DriveType(const std::string& root) const = 0;
  virtual platform::DriveQuery<platform::VolumeInfo> VolumeInfo(const std::string& root) const = 0;
  // 0 or the errno.
  virtual int SetVolumeLabel(const std::string& root, const std::string& label) const = 0;
  virtual bool RootCanBeListed(const std::string& root) const = 0;
  virtual bool IsOnMountedFileSystem(const std::string& root) const = 0;
};

// The process's file systems, through platform/drives.h.
const DriveSystem& PlatformDriveSystem();

class clsDrive {
 public:
  explicit clsDrive(const DriveSystem& system = PlatformDriveSystem()) : system_(system) {}

  // Free-space refresh, then bytes per sector / sectors per cluster.
  int32_t SectorByte();
  int32_t ClusterSector();
  // All free bytes (including those kept for root) and all bytes of the file
  // system, exact as whole numbers; 0 when the root is not there.
  double FreeSpace();
  double AllSpace();
  // 0 unknown, 1 no root directory, 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
  int32_t MediaType();

  QString Drive() const { return root_; }
  // A text ending in ":\" is kept as it is; one letter (optionally with its
  // colon) becomes the upper-case "X:\"; any other text is a folder, kept.
  void Drive(const QString& text);

  // Volume refresh, then the label / file-system name / longest name / serial.
  QString Volume();
  void Volume(const QString& label);  // relabels the file system (needs privilege)
  QString FileSystem();
  int32_t MaxFileName();
  int32_t VolSerial();

  // Whether the root can be listed; never fails.
  bool MediaCondition();
  // Whether the root is a mounted file system or lies inside one.
  bool Enabled();

  // Flags of the last volume refresh.
  bool ACLs() const { return (flags_ & platform::kFsPersistentAcls) != 0; }
  bool Unicode() const { return (flags_ & platform::kFsUnicodeOnDisk) != 0; }
  bool FileCompress() const { return (flags_ & platform::kFsFileCompression) != 0; }
  bool VolCompress() const { return (flags_ & platform::kFsVolumeIsCompressed) != 0; }
  bool CaseSensitive() const { return (flags_ & platform::kFsCaseSensitiveSearch) != 0; }
  bool CasePreserved() const { return (flags_ & platform::kFsCasePreservedNames) != 0; }

  // There is no format dialog on this platform: returns the dialog's failure
  // result, -1. `options` 0 and 1 trade places first, as on every system of
  // this kind.
  int32_t ShowFormat(int32_t& hwnd, int32_t& drive, int32_t& options);

  // Result of the last platform call: 1 success, 0 failure.
  int32_t LastResult() const { return last_result_; }

 private:
  void RefreshFreeSpace();
  void RefreshVolume();
  std::string Root() const;  // in the file system's encoding

  const DriveSystem& system_;
  QString root_;
  int32_t last_result_ = 0;
  uint32_t sectors_per_cluster_ = 0;
  uint32_t bytes_per_sector_ = 0;
  uint32_t free_clusters_ = 0;
  uint32_t total_clusters_ = 0;
  QString volume_name_;
  uint32_t serial_ = 0;
  uint32_t max_name_length_ = 0;
  uint32_t flags_ = 0;
  QString file_system_;
};

}  // namespace calendo
