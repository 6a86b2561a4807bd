#include "desktop/cls_drive.h"

#include <QFile>

namespace calendo {
namespace {

class PlatformDrives final : public DriveSystem {
 public:
  platform::DriveQuery<platform::DiskSpace> DiskSpace(const std::string& root) const override {
    return platform::disk_space(root);
  }
  platform::DriveType DriveType(const std::string& root) const override {
    return platform::drive_type(root);
  }
  platform::DriveQuery<platform::VolumeInfo> VolumeInfo(const std::string& root) const override {
    return platform::volume_info(root);
  }
  int SetVolumeLabel(const std::string& root, const std::string& label) const override {
    return platform::set_volume_label(root, label);
  }
  bool RootCanBeListed(const std::string& root) const override {
    return platform::root_can_be_listed(root);
  }
  bool IsOnMountedFileSystem(const std::string& root) const override {
    return platform::is_on_mounted_file_system(root);
  }
};

bool IsLetter(QChar c) {
  return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
         (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

// 32-bit fields read back as the signed integers callers store them in.
int32_t AsSigned(uint32_t value) {
  return static_cast<int32_t>(value);
}

}  // namespace

const DriveSystem& PlatformDriveSystem() {
  static const PlatformDrives drives;
  return drives;
}

std::string clsDrive::Root() const {
  return QFile::encodeName(root_).toStdString();
}

void clsDrive::Drive(const QString& text) {
  if (text.endsWith(QStringLiteral(":\\"))) {
    root_ = text;
  } else if ((text.size() == 1 && IsLetter(text[0])) ||
             (text.size() == 2 && IsLetter(text[0]) && text[1] == QLatin1Char(':'))) {
    root_ = QString(text[0]).toUpper() + QStringLiteral(":\\");
  } else {
    root_ = text;
  }
}

void clsDrive::RefreshFreeSpace() {
  const auto space = system_.DiskSpace(Root());
  last_result_ = space.ok() ? 1 : 0;
  if (!space.ok()) return;
  sectors_per_cluster_ = space.value().sectors_per_cluster;
  bytes_per_sector_ = space.value().bytes_per_sector;
  free_clusters_ = space.value().free_clusters;
  total_clusters_ = space.value().total_clusters;
}

void clsDrive::RefreshVolume() {
  const auto volume = system_.VolumeInfo(Root());
  last_result_ = volume.ok() ? 1 : 0;
  if (!volume.ok()) return;
  volume_name_ = QFile::decodeName(volume.value().label.c_str());
  serial_ = volume.value().serial;
  max_name_length_ = volume.value().max_name_length;
  flags_ = volume.value().flags;
  file_system_ = QString::fromStdString(volume.value().file_system);
}

int32_t clsDrive::SectorByte() {
  RefreshFreeSpace();
  return AsSigned(bytes_per_sector_);
}

int32_t clsDrive::ClusterSector() {
  RefreshFreeSpace();
  return AsSigned(sectors_per_cluster_);
}

// Byte counts are 64-bit and below 2^53 on any real file system, so the double
// holds them exactly.
double clsDrive::FreeSpace() {
  const auto space = system_.DiskSpace(Root());
  last_result_ = space.ok() ? 1 : 0;
  return space.ok() ? static_cast<double>(space.value().free_bytes) : 0.0;
}

double clsDrive::AllSpace() {
  const auto space = system_.DiskSpace(Root());
  last_result_ = space.ok() ? 1 : 0;
  return space.ok() ? static_cast<double>(space.value().total_bytes) : 0.0;
}

int32_t clsDrive::MediaType() {
  const auto type = static_cast<int32_t>(system_.DriveType(Root()));
  return type >= 0 && type <= 6 ? type : 0;
}

QString clsDrive::Volume() {
  RefreshVolume();
  return volume_name_;
}

void clsDrive::Volume(const QString& label) {
  last_result_ =
      system_.SetVolumeLabel(Root(), QFile::encodeName(label).toStdString()) == 0 ? 1 : 0;
}

QString clsDrive::FileSystem() {
  RefreshVolume();
  return file_system_;
}

int32_t clsDrive::MaxFileName() {
  RefreshVolume();
  return AsSigned(max_name_length_);
}

int32_t clsDrive::VolSerial() {
  RefreshVolume();
  return AsSigned(serial_);
}

bool clsDrive::MediaCondition() {
  return system_.RootCanBeListed(Root());
}

bool clsDrive::Enabled() {
  return system_.IsOnMountedFileSystem(Root());
}

int32_t clsDrive::ShowFormat(int32_t& /*hwnd*/, int32_t& /*drive*/, int32_t& options) {
  if (options == 0) {
    options = 1;
  } else if (options == 1) {
    options = 0;
  }
  constexpr int32_t kFormatError = -1;
  last_result_ = 0;
  return kFormatError;
}

}  // namespace calendo
