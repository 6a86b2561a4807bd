// The files a card's file system lists, live and deleted, through The Sleuth
// Kit: FAT12/16/32, exFAT, NTFS and the others it reads. For each regular
// file: its path, whether it is deleted, its size, its modification time and
// the image extents of its clusters (for a deleted file, the clusters the
// library assumes, which start at the first cluster the entry names). Also
// the cluster grid and the clusters live files own.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "calendo/extent_source.h"
#include "calendo/fault.h"
#include "card_layout.h"

namespace calendo::rescue {

struct ListedFile {
  std::string path;  // inside the file system, '/'-separated, no leading '/'
  bool deleted = false;
  uint64_t size = 0;
  std::time_t modified = 0;
  std::vector<Extent> extents;  // in the image
  uint64_t first_at = 0;        // image offset of the first cluster, 0 when none
                                // (on FAT also for an entry of size 0)
};

struct FileSystemListing {
  std::string type;  // "fat16", "exfat", ... as the library names it
  Geometry geometry;
  std::vector<ListedFile> files;
  std::vector<Extent> live;  // image extents that live files and directories own
};

// Lists the file system at the start of the image at `path`; a Fault
// (WrongKind) when the library finds none.
Result<FileSystemListing> list_file_system(const std::string& path);

}  // namespace calendo::rescue
