#include "rescue_run.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "calendo/byte_source.h"
#include "calendo/container.h"
#include "calendo/extent_source.h"
#include "calendo/vqm_format.h"
#include "card_layout.h"
#include "file_system.h"
#include "page_scan.h"
#include "recovered_file.h"
#include "same_disk.h"
#include "vqm_carve.h"
#include "vqr_header_check.h"

namespace calendo::rescue {
namespace {

std::optional<Container> container_at(const ByteSource& image, uint64_t at) {
  std::array<uint8_t, kMagicBytes> head;
  image.read_padded(at, head);
  return ContainerOfMagic(head);
}

// A deleted entry's name as recovery tools give it back: its first character,
// which the file system overwrote, becomes '_'.
std::string deleted_name(const std::string& path) {
  std::filesystem::path p(path);
  std::string name = p.filename().string();
  if (!name.empty()) name[0] = '_';
  return (p.parent_path() / name).string();
}

class SourceRescue {
 public:
  SourceRescue(const std::string& path, const ByteSource& image, CardLayout& layout,
               const ScanIndex& index, OutputFolder& out, RescueReport& report)
      : path_(path),
        image_(image),
        layout_(layout),
        index_(index),
        out_(out),
        report_(report),
        follower_(image, layout, index) {
    stem_ = std::filesystem::path(path).stem().string();
  }

  void listed(const FileSystemListing& listing) {
    for (const ListedFile& f : listing.files)
      if (!f.deleted) listed_live(f);
    for (const ListedFile& f : listing.files)
      if (f.deleted) listed_deleted(f);
  }

  void headers() {
    for (const uint64_t at : index_.vqr_headers) {
      if (layout_.state(at) == ClusterState::Claimed) continue;
      const std::optional<VqrHeaderFacts> facts = check_vqr_header(image_, at);
      RecoveredRecording r = base(Origin::Carved, "vqr");
      std::string name;
      std::time_t modified = 0;
      if (!named_by_unclosed_entry(r, at, name, modified)) name = carved_name_at(at, ".vqr");
      follow_vqr(r, at, 0, facts ? facts->file_size : std::nullopt,
                 facts ? facts->modes : ModeRule::Either, true, 0, name, modified);
    }
    for (const uint64_t at : index_.vqm_headers) {
      if (layout_.state(at) == ClusterState::Claimed) continue;
      RecoveredRecording r = base(Origin::Carved, "vqm");
      std::string name;
      std::time_t modified = 0;
      if (!named_by_unclosed_entry(r, at, name, modified)) name = carved_name_at(at, ".vqm");
      carve_vqm(std::move(r), at, std::nullopt, name, modified);
    }
  }

  void orphans() {
    const auto& flags = index_.flags;
    for (std::size_t i = 0; i < flags.size(); ++i) {
      const uint64_t flag = ScanIndex::flag_at(flags[i]);
      if (layout_.state(flag) == ClusterState::Claimed) continue;
      // A run of at least two pages, not one chance match.
      if (i + 1 >= flags.size() || ScanIndex::flag_at(flags[i + 1]) != flag + kVqrPageSize)
        continue;
      const uint64_t page_at = flag - kVqrFlagOffset;
      if (layout_.state(page_at) == ClusterState::Claimed) continue;
      if (page_at >= kVqrHeaderSize &&
          layout_.state(page_at - kVqrHeaderSize) != ClusterState::Claimed) {
        // A header off the sector grid, right before the run.
        const uint64_t header_at = page_at - kVqrHeaderSize;
        if (const std::optional<VqrHeaderFacts> facts = check_vqr_header(image_, header_at)) {
          RecoveredRecording r = base(Origin::Carved, "vqr");
          follow_vqr(r, header_at, 0, facts->file_size, facts->modes, true, 0, carved_name());
          continue;
        }
      }
      const int mode = ScanIndex::flag_mode(flags[i]);
      const uint64_t file_at = headerless_file_offset(layout_.geometry().cluster);
      RecoveredRecording r = base(Origin::Carved, "vqr");
      std::string name = carved_name();
      const auto part = part_names_.find(layout_.cluster_start(page_at));
      if (part != part_names_.end()) name = part->second;
      r.note = "no header: rebuilt";
      follow_vqr(r, page_at, file_at, std::nullopt, mode == 1 ? ModeRule::Lp : ModeRule::Sp, false,
                 (file_at - kVqrHeaderSize) / kVqrPageSize, name);
    }
  }

 private:
  RecoveredRecording base(Origin origin, const char* container) const {
    RecoveredRecording r;
    r.source = path_;
    r.origin = origin;
    r.container = container;
    return r;
  }

  // A source that is itself a recording (a damaged file) gives its name to what comes of it.
  bool named_as_recording() const {
    std::string ext = std::filesystem::path(path_).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".vqr" || ext == ".vqm";
  }

  std::string carved_name(const char* ext = ".vqr") {
    return stem_ + "-" + std::to_string(++carved_) + ext;
  }

  // The name of what a header at `at` begins: the source's own where the
  // source is that recording, else a carved one's.
  std::string carved_name_at(uint64_t at, const char* ext) {
    if (at == 0 && named_as_recording()) return std::filesystem::path(path_).filename().string();
    return carved_name(ext);
  }

  // A header where a live entry of size 0 begins is that entry's recording,
  // never closed: it comes back under the entry's name and time.
  bool named_by_unclosed_entry(RecoveredRecording& r, uint64_t at, std::string& name,
                               std::time_t& modified) const {
    const auto entry = unclosed_.find(at);
    if (entry == unclosed_.end()) return false;
    r.origin = Origin::FileSystem;
    r.entry = entry->second.path;
    name = entry->second.path;
    modified = entry->second.modified;
    r.note = "never closed: its entry names no length";
    return true;
  }

  void listed_live(const ListedFile& f) {
    if (f.size == 0) {
      // Its pages are followed from the header its first cluster holds, with
      // the carved ones; its chain is no other file's.
      if (f.first_at == 0) return;
      unclosed_.emplace(f.first_at, f);
      for (const Extent& e : f.extents) layout_.set(e.base_at, e.length, ClusterState::Free);
      return;
    }
    const ExtentSource file(image_, f.extents);
    std::optional<Container> container = container_at(file, 0);
    if (!container) return;
    for (const Extent& e : f.extents) layout_.set(e.base_at, e.length, ClusterState::Claimed);
    RecoveredRecording r = base(Origin::FileSystem, container_name(*container));
    r.entry = f.path;
    std::vector<Extent> extents = f.extents;
    uint64_t left = f.size;
    for (Extent& e : extents) {
      e.length = std::min(e.length, left);
      left -= e.length;
    }
    uint64_t file_at = 0;
    for (const Extent& e : extents) {
      if (e.length > 0) r.fragments.push_back({e.base_at, file_at, e.length});
      file_at += e.length;
    }
    if (*container == Container::Vqm) {
      const ExtentSource cut(image_, extents);
      std::vector<uint8_t> bytes(cut.size());
      cut.read_padded(0, bytes);
      r.exact = true;
      r.pages = static_cast<uint32_t>(bytes.size() / kVqmPageSize);
      write(r, f.path, bytes, f.modified);
      return;
    }
    Chain chain;
    chain.pieces = r.fragments;
    chain.size = f.size;
    const RecoveredVqr vqr = recover_vqr(image_, chain, true, 0);
    finish(r, vqr, f.path, f.modified);
  }

  void listed_deleted(const ListedFile& f) {
    if (f.first_at == 0 || layout_.state(f.first_at) != ClusterState::Free) return;
    const std::optional<Container> container = container_at(image_, f.first_at);
    if (!container) return;
    const std::string name = deleted_name(f.path);
    if (*container == Container::Vqm) {
      RecoveredRecording r = base(Origin::Deleted, "vqm");
      r.entry = f.path;
      carve_vqm(std::move(r), f.first_at, f.size > 0 ? std::optional(f.size) : std::nullopt, name,
                f.modified);
      return;
    }
    const std::optional<VqrHeaderFacts> facts = check_vqr_header(image_, f.first_at);
    std::optional<uint64_t> expected = facts ? facts->file_size : std::nullopt;
    if (f.size >= vqr_page_offset(1)) expected = f.size;
    RecoveredRecording r = base(Origin::Deleted, "vqr");
    r.entry = f.path;
    follow_vqr(r, f.first_at, 0, expected, facts ? facts->modes : ModeRule::Either, true, 0, name,
               f.modified);
  }

  void follow_vqr(RecoveredRecording& r, uint64_t at, uint64_t file_at,
                  std::optional<uint64_t> expected, ModeRule rule, bool has_header,
                  uint64_t first_page, std::string name, std::time_t modified = 0) {
    const Chain chain = follower_.follow(at, file_at, expected, rule);
    r.fragments = chain.pieces;
    r.joins = chain.joins;
    r.cut_short = chain.cut_short;
    if (chain.undecided) {
      // The pieces come out as numbered parts; the candidates keep the name.
      const std::filesystem::path p(name);
      const std::string stem = (p.parent_path() / p.stem()).string();
      name = stem + "-part1" + p.extension().string();
      char letter = 'a';
      for (const uint64_t c : chain.joins.back().candidates)
        part_names_[c] = stem + "-part2" + letter++ + p.extension().string();
      r.note = "join undecided: the rest is in the -part2 files";
    }
    const RecoveredVqr vqr = recover_vqr(image_, chain, has_header, first_page);
    if (vqr.pages == 0) return;
    finish(r, vqr, name, modified);
  }

  void finish(RecoveredRecording& r, const RecoveredVqr& vqr, const std::string& name,
              std::time_t modified) {
    r.pages = vqr.pages;
    r.pages_lost = vqr.pages_lost;
    r.duration_ms = vqr.duration_ms;
    r.exact = vqr.exact;
    r.header_rebuilt = vqr.header_rebuilt;
    write(r, name, vqr.bytes, modified);
  }

  void carve_vqm(RecoveredRecording r, uint64_t at, std::optional<uint64_t> size,
                 const std::string& name, std::time_t modified) {
    const std::optional<VqmCarve> carve = carve_vqm_at(image_, layout_, index_, at, size);
    if (!carve) return;
    layout_.set(at, carve->size, ClusterState::Claimed);
    std::vector<uint8_t> bytes(carve->size);
    image_.read_padded(at, bytes);
    r.fragments.push_back({at, 0, carve->size});
    r.pages = carve->pages;
    r.duration_ms = uint64_t{carve->pages} * carve->page_ms;
    r.exact = true;
    r.cut_short = carve->cut_short;
    if (!size) r.note = "length from where its data ends";
    write(r, name, bytes, modified);
  }

  void write(RecoveredRecording& r, const std::string& name, std::span<const uint8_t> bytes,
             std::time_t modified) {
    Result<std::string> written = out_.write(name, bytes, modified);
    if (!written.ok()) {
      report_.problems.push_back(written.fault().message);
      return;
    }
    r.output = *written;
    report_.recordings.push_back(std::move(r));
  }

  std::string path_;
  std::string stem_;
  const ByteSource& image_;
  CardLayout& layout_;
  const ScanIndex& index_;
  OutputFolder& out_;
  RescueReport& report_;
  ChainFollower follower_;
  int carved_ = 0;
  std::map<uint64_t, std::string> part_names_;
  std::map<uint64_t, ListedFile> unclosed_;  // live entries of size 0, by their first cluster
};

}  // namespace

const char* origin_name(Origin origin) {
  switch (origin) {
    case Origin::FileSystem:
      return "file system";
    case Origin::Deleted:
      return "deleted entry";
    case Origin::Carved:
      return "carved";
  }
  return "carved";
}

bool rescue_image(const ByteSource& image, const std::string& path,
                  const FileSystemListing* listing, OutputFolder& out, RescueReport& report,
                  const ScanProgress& progress, const std::atomic<bool>& stop) {
  CardLayout layout(listing ? listing->geometry : Geometry{}, image.size());
  if (listing)
    for (const Extent& e : listing->live) layout.set(e.base_at, e.length, ClusterState::Live);
  const ScanIndex index = scan_image(image, progress, stop);
  report.scanned += index.scanned;
  report.stopped = report.stopped || index.stopped;

  SourceRescue rescue(path, image, layout, index, out, report);
  if (listing) rescue.listed(*listing);
  rescue.headers();
  rescue.orphans();
  return index.stopped;
}

RescueReport rescue_sources(const std::vector<std::string>& sources, OutputFolder& out,
                            const RescueProgress& progress, const std::atomic<bool>& stop) {
  RescueReport report;
  struct stat out_info {};
  const bool out_known = ::stat(out.path().c_str(), &out_info) == 0;
  for (const std::string& path : sources) {
    Result<DiskImage> image = DiskImage::open(path.c_str());
    if (!image.ok()) {
      report.problems.push_back(path + ": " + image.fault().message);
      continue;
    }
    if (image->is_device() && out_known && on_same_disk(out_info.st_dev, image->device_id())) {
      report.problems.push_back(path + ": the output folder lies on this device; choose another");
      continue;
    }
    Result<FileSystemListing> listing = list_file_system(path);
    ::posix_fadvise(image->fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const bool stopped = rescue_image(
        *image, path, listing.ok() ? &*listing : nullptr, out, report,
        [&](uint64_t done) {
          if (progress.scanned) progress.scanned(path, done, image->size());
        },
        stop);
    if (stopped) break;
  }
  return report;
}

}  // namespace calendo::rescue
