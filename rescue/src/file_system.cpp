#include "file_system.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace calendo::rescue {
namespace {

struct ImageCloser {
  void operator()(TSK_IMG_INFO* image) const { tsk_img_close(image); }
};
struct FileSystemCloser {
  void operator()(TSK_FS_INFO* fs) const { tsk_fs_close(fs); }
};

void add_extent(std::vector<Extent>& extents, uint64_t at, uint64_t length) {
  if (!extents.empty() && extents.back().base_at + extents.back().length == at) {
    extents.back().length += length;
  } else {
    extents.push_back({at, length});
  }
}

TSK_WALK_RET_ENUM collect_block(TSK_FS_FILE* file, TSK_OFF_T, TSK_DADDR_T address, char*,
                                size_t length, TSK_FS_BLOCK_FLAG_ENUM flags, void* context) {
  auto* extents = static_cast<std::vector<Extent>*>(context);
  if ((flags & TSK_FS_BLOCK_FLAG_SPARSE) != 0 || address == 0) return TSK_WALK_CONT;
  const uint64_t block = file->fs_info->block_size;
  add_extent(*extents, file->fs_info->offset + address * block, length);
  return TSK_WALK_CONT;
}

// Where a FAT file system keeps its first table, how wide its entries are,
// and how many clusters the image holds.
struct FatTable {
  uint64_t at = 0;
  int bits = 0;
  uint64_t clusters = 0;
};

struct Walk {
  FileSystemListing* listing;
  TSK_FS_INFO* fs;
  FatTable table;
};

// The table's entry for `cluster`, or 0 where it cannot be read.
uint64_t fat_entry(TSK_FS_INFO* fs, const FatTable& table, uint64_t cluster) {
  uint8_t bytes[4] = {};
  const std::size_t width = table.bits == 32 ? 4 : 2;
  const uint64_t at = table.at + (table.bits == 12 ? cluster + cluster / 2 : cluster * width);
  if (tsk_fs_read(fs, static_cast<TSK_OFF_T>(at), reinterpret_cast<char*>(bytes), width) !=
      static_cast<ssize_t>(width))
    return 0;
  uint64_t value = uint64_t{bytes[0]} | uint64_t{bytes[1]} << 8;
  if (table.bits == 12) return cluster % 2 == 1 ? value >> 4 : value & 0xFFF;
  if (table.bits == 32)
    value = (value | uint64_t{bytes[2]} << 16 | uint64_t{bytes[3]} << 24) & 0x0FFFFFFF;
  return value;
}

// The image extents of the chain the table holds from `first` on, in chain
// order. It ends at the chain's end mark, at a free, bad or reserved entry,
// at a cluster past the image, and after as many clusters as the image holds
// (so that a chain that loops ends too).
std::vector<Extent> fat_chain(TSK_FS_INFO* fs, const FatTable& table, const Geometry& grid,
                              uint64_t first) {
  std::vector<Extent> extents;
  uint64_t cluster = first;
  for (uint64_t n = 0; n < table.clusters && cluster >= 2 && cluster - 2 < table.clusters; ++n) {
    add_extent(extents, grid.origin + (cluster - 2) * grid.cluster, grid.cluster);
    cluster = fat_entry(fs, table, cluster);
  }
  return extents;
}

// The first cluster a FAT entry names (0 when none). The library keeps it as
// the first word of the entry's content.
uint64_t fat_first_cluster(const TSK_FS_META* meta) {
  if (meta->content_ptr == nullptr || meta->content_len < sizeof(TSK_DADDR_T)) return 0;
  TSK_DADDR_T cluster = 0;
  std::memcpy(&cluster, meta->content_ptr, sizeof cluster);
  return cluster;
}

TSK_WALK_RET_ENUM visit_name(TSK_FS_FILE* file, const char* parent, void* context) {
  auto* walk = static_cast<Walk*>(context);
  if (file->name == nullptr || file->meta == nullptr) return TSK_WALK_CONT;
  if (file->meta->type != TSK_FS_META_TYPE_REG) return TSK_WALK_CONT;
  const std::string name = file->name->name;
  if (TSK_FS_TYPE_ISNTFS(file->fs_info->ftype) && !name.empty() && name[0] == '$')
    return TSK_WALK_CONT;

  ListedFile listed;
  listed.path = std::string(parent) + name;
  listed.deleted = (file->name->flags & TSK_FS_NAME_FLAG_UNALLOC) != 0;
  listed.size = file->meta->size > 0 ? static_cast<uint64_t>(file->meta->size) : 0;
  listed.modified = file->meta->mtime;
  const auto flags = static_cast<TSK_FS_FILE_WALK_FLAG_ENUM>(TSK_FS_FILE_WALK_FLAG_AONLY |
                                                             TSK_FS_FILE_WALK_FLAG_NOID);
  if (listed.size > 0 && tsk_fs_file_walk(file, flags, collect_block, &listed.extents) != 0) {
    // A deleted file whose clusters were taken by another is reported as an
    // error; what was walked before it stands.
    tsk_error_reset();
  }
  if (!listed.extents.empty()) {
    listed.first_at = listed.extents.front().base_at;
  } else if (listed.size == 0 && walk->table.bits != 0) {
    // A recording the recorder never closed: its entry names its first
    // cluster while its size stays 0, and a live one's chain is in the table.
    const Geometry& grid = walk->listing->geometry;
    const uint64_t first = fat_first_cluster(file->meta);
    if (first >= 2 && first - 2 < walk->table.clusters) {
      listed.first_at = grid.origin + (first - 2) * grid.cluster;
      if (!listed.deleted) listed.extents = fat_chain(walk->fs, walk->table, grid, first);
    }
  }
  walk->listing->files.push_back(std::move(listed));
  return TSK_WALK_CONT;
}

TSK_WALK_RET_ENUM collect_live(const TSK_FS_BLOCK* block, void* context) {
  auto* listing = static_cast<FileSystemListing*>(context);
  const uint64_t size = block->fs_info->block_size;
  add_extent(listing->live, block->fs_info->offset + block->addr * size, size);
  return TSK_WALK_CONT;
}

// The library counts FAT and exFAT in sectors; the cluster grid is the boot
// sector's. FAT: sectors per cluster at 13, the clusters after the reserved
// sectors (14), the FATs (16, 22 or 36) and the root folder (17). exFAT: the
// two shifts at 108 and 109, the cluster heap's sector at 88.
std::optional<Geometry> fat_geometry(TSK_FS_INFO* fs) {
  uint8_t boot[512];
  if (tsk_fs_read(fs, 0, reinterpret_cast<char*>(boot), sizeof boot) != sizeof boot)
    return std::nullopt;
  const auto le16 = [&](int at) { return uint64_t{boot[at]} | uint64_t{boot[at + 1]} << 8; };
  const auto le32 = [&](int at) { return le16(at) | le16(at + 2) << 16; };
  if (fs->ftype == TSK_FS_TYPE_EXFAT) {
    if (boot[108] < 9 || boot[108] > 12 || boot[109] > 25) return std::nullopt;
    const uint64_t sector = uint64_t{1} << boot[108];
    return Geometry{le32(88) * sector, sector << boot[109]};
  }
  const uint64_t sector = le16(11);
  if (sector == 0 || boot[13] == 0) return std::nullopt;
  const uint64_t fat_sectors = le16(22) != 0 ? le16(22) : le32(36);
  const uint64_t root_sectors = (le16(17) * 32 + sector - 1) / sector;
  return Geometry{(le16(14) + boot[16] * fat_sectors + root_sectors) * sector, sector * boot[13]};
}

// The first table of a FAT12/16/32 file system on the grid `grid` (bits 0
// for other file systems): it follows the reserved sectors (boot sector 14).
FatTable fat_table(TSK_FS_INFO* fs, const Geometry& grid) {
  FatTable table;
  if (fs->ftype == TSK_FS_TYPE_FAT12) table.bits = 12;
  if (fs->ftype == TSK_FS_TYPE_FAT16) table.bits = 16;
  if (fs->ftype == TSK_FS_TYPE_FAT32) table.bits = 32;
  uint8_t boot[512];
  if (table.bits == 0 ||
      tsk_fs_read(fs, 0, reinterpret_cast<char*>(boot), sizeof boot) != sizeof boot)
    return {};
  const auto le16 = [&](int at) { return uint64_t{boot[at]} | uint64_t{boot[at + 1]} << 8; };
  const auto le32 = [&](int at) { return le16(at) | le16(at + 2) << 16; };
  const uint64_t sector = le16(11);
  const uint64_t fat_sectors = le16(22) != 0 ? le16(22) : le32(36);
  table.at = le16(14) * sector;
  const auto image_size = static_cast<uint64_t>(fs->img_info->size);
  const uint64_t in_image =
      image_size > grid.origin ? (image_size - grid.origin) / grid.cluster : 0;
  const uint64_t in_table = fat_sectors * sector * 8 / static_cast<uint64_t>(table.bits);
  table.clusters = std::min(in_image, in_table > 2 ? in_table - 2 : 0);
  return table;
}

std::string last_error() {
  const char* text = tsk_error_get();
  std::string message = text != nullptr ? text : "no file system found";
  tsk_error_reset();
  return message;
}

}  // namespace

Result<FileSystemListing> list_file_system(const std::string& path) {
  std::unique_ptr<TSK_IMG_INFO, ImageCloser> image(
      tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_RAW, 0));
  if (!image) return Fault{Failure::CannotOpen, 0, last_error()};
  std::unique_ptr<TSK_FS_INFO, FileSystemCloser> fs(
      tsk_fs_open_img(image.get(), 0, TSK_FS_TYPE_DETECT));
  if (!fs) return Fault{Failure::WrongKind, 0, last_error()};

  FileSystemListing listing;
  listing.type = tsk_fs_type_toname(fs->ftype);
  listing.geometry = {0, fs->block_size};
  if (TSK_FS_TYPE_ISFAT(fs->ftype)) {
    if (const std::optional<Geometry> grid = fat_geometry(fs.get())) listing.geometry = *grid;
  }

  Walk walk{&listing, fs.get(), {}};
  if (TSK_FS_TYPE_ISFAT(fs->ftype) && listing.geometry.cluster > 0)
    walk.table = fat_table(fs.get(), listing.geometry);
  const auto names = static_cast<TSK_FS_DIR_WALK_FLAG_ENUM>(
      TSK_FS_DIR_WALK_FLAG_ALLOC | TSK_FS_DIR_WALK_FLAG_UNALLOC | TSK_FS_DIR_WALK_FLAG_RECURSE);
  if (tsk_fs_dir_walk(fs.get(), fs->root_inum, names, visit_name, &walk) != 0) tsk_error_reset();

  const auto blocks = static_cast<TSK_FS_BLOCK_WALK_FLAG_ENUM>(
      TSK_FS_BLOCK_WALK_FLAG_ALLOC | TSK_FS_BLOCK_WALK_FLAG_CONT | TSK_FS_BLOCK_WALK_FLAG_META |
      TSK_FS_BLOCK_WALK_FLAG_AONLY);
  if (tsk_fs_block_walk(fs.get(), fs->first_block, fs->last_block, blocks, collect_live,
                        &listing) != 0)
    tsk_error_reset();
  return listing;
}

}  // namespace calendo::rescue
