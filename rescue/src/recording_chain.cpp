#include "recording_chain.h"

#include <algorithm>
#include <numeric>

#include "calendo/extent_source.h"
#include "join_audio.h"

namespace calendo::rescue {
namespace {

constexpr std::size_t kMaxCandidates = 64;
// A join's roughness above this is no continuation even when it is the only one.
constexpr double kImplausible = 3.0;
// How much smoother the best join must be than the next to be taken.
constexpr double kMargin = 0.5;
constexpr uint64_t kMaxReachClusters = 1 << 16;
// How many damaged clusters in a row are kept in place at most.
constexpr int kMaxBlankClusters = 8;

bool uniform(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == bytes[0]; });
}

void add_range(std::vector<FileRange>& ranges, uint64_t start, uint64_t end) {
  if (start >= end) return;
  if (!ranges.empty() && ranges.back().end >= start) {
    ranges.back().end = std::max(ranges.back().end, end);
  } else {
    ranges.push_back({start, end});
  }
}

}  // namespace

struct ChainFollower::Window {
  std::vector<uint8_t> bytes;
  uint64_t present = 0;  // bytes inside the image
  MarkCheck marks;
  std::vector<FileRange> lost;  // zeroed or unreadable sectors, in file offsets
};

uint64_t headerless_file_offset(uint64_t cluster) {
  return vqr_page_offset(cluster / kVqrPageSize + 2);
}

ChainFollower::Window ChainFollower::read_window(uint64_t image_at, uint64_t length,
                                                 uint64_t file_at, ModeRule rule) const {
  Window w;
  w.bytes.resize(length);
  w.present = image_at < image_.size() ? std::min(length, image_.size() - image_at) : 0;
  image_.read_padded(image_at, w.bytes);
  w.marks = check_marks(std::span(w.bytes).first(w.present), file_at, rule);
  for (uint64_t at = image_at / kSectorSize * kSectorSize; at < image_at + w.present;
       at += kSectorSize) {
    const uint64_t from = std::max(at, image_at);
    const uint64_t to = std::min(at + kSectorSize, image_at + w.present);
    const auto sector = std::span(w.bytes).subspan(from - image_at, to - from);
    const bool zero = sector[0] == 0 && uniform(sector);
    if (zero || index_.is_unreadable(at))
      add_range(w.lost, file_at + (from - image_at), file_at + (to - image_at));
  }
  return w;
}

bool ChainFollower::usable(uint64_t image_at) const {
  return layout_.state(image_at) == ClusterState::Free && !index_.has_header(image_at);
}

bool ChainFollower::reaches(uint64_t image_at, uint64_t file_at, uint64_t expected,
                            ModeRule rule) const {
  const uint64_t cluster = layout_.geometry().cluster;
  for (uint64_t n = 0; n < kMaxReachClusters && file_at < expected; ++n) {
    if (n > 0 && !usable(image_at)) return false;
    const uint64_t length = std::min(cluster, expected - file_at);
    if (image_at + length > image_.size()) return false;
    const Window w = read_window(image_at, length, file_at, rule);
    if (w.marks.bad_seen) return false;
    if (file_at + length == expected && length < cluster) {
      // The pages stop at the length: the next page place holds none.
      const uint64_t rest = std::min<uint64_t>(cluster - length, kVqrPageSize);
      const Window after = read_window(image_at + length, rest, expected, rule);
      if (after.marks.good > 0) return false;
    }
    image_at += cluster;
    file_at += cluster;
  }
  return file_at >= expected;
}

std::optional<uint64_t> ChainFollower::find_continuation(const Chain& chain, uint64_t file_at,
                                                         uint64_t failed_at,
                                                         std::optional<uint64_t> expected,
                                                         ModeRule rule, int mode,
                                                         JoinRecord& record) const {
  const uint64_t cluster = layout_.geometry().cluster;
  const uint64_t length = expected ? std::min(cluster, *expected - file_at) : cluster;
  // The first flag wholly inside a cluster holding file offset `file_at`.
  uint64_t page = file_at > kVqrHeaderSize ? (file_at - kVqrHeaderSize) / kVqrPageSize : 0;
  while (vqr_page_offset(page) + kVqrFlagOffset < file_at) ++page;
  const uint64_t lead = vqr_page_offset(page) + kVqrFlagOffset - file_at;
  if (lead + kTrailerBytes + 1 > length) return std::nullopt;

  std::vector<uint64_t> found;
  for (const uint64_t entry : index_.flags) {
    const uint64_t flag = ScanIndex::flag_at(entry);
    if (flag < lead || !mode_allowed(rule, ScanIndex::flag_mode(entry))) continue;
    if (rule == ModeRule::Either && ScanIndex::flag_mode(entry) != mode) continue;
    const uint64_t at = flag - lead;
    if (at == failed_at || !layout_.on_grid(at) || !usable(at)) continue;
    // A fragment begins a run: the page before it lies in another file.
    if (at >= cluster && flag >= kVqrPageSize && index_.has_flag(flag - kVqrPageSize) &&
        layout_.state(at - cluster) == ClusterState::Free)
      continue;
    const Window w = read_window(at, length, file_at, rule);
    if (w.present < length || w.marks.bad_seen || w.marks.good == 0) continue;
    found.push_back(at);
    if (found.size() > kMaxCandidates) break;
  }
  record.file_at = file_at;
  record.candidates = found;
  if (found.empty()) {
    record.decision = "no continuation";
    return std::nullopt;
  }
  if (found.size() > kMaxCandidates) {
    record.decision = "too many continuations";
    return std::nullopt;
  }

  const ExtentSource before(image_, [&] {
    std::vector<Extent> extents;
    for (const Piece& p : chain.pieces) extents.push_back({p.image_at, p.length});
    return extents;
  }());
  const uint64_t chain_start = chain.pieces.front().file_at;
  for (const uint64_t at : found) {
    const FileBytes joined = [&](uint64_t offset, std::span<uint8_t> out) {
      for (std::size_t i = 0; i < out.size(); ++i) {
        const uint64_t o = offset + i;
        if (o >= file_at) {
          out[i] = image_.byte_at(at + (o - file_at));
        } else {
          out[i] = o >= chain_start ? before.byte_at(o - chain_start) : 0xFF;
        }
      }
    };
    record.roughness.push_back(join_roughness(joined, file_at, mode));
  }

  std::vector<std::size_t> order(found.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return record.roughness[a] < record.roughness[b];
  });
  const std::size_t best = order[0];
  if (found.size() == 1) {
    if (record.roughness[best] > kImplausible) {
      record.decision = "the only continuation does not sound like one";
      return std::nullopt;
    }
    record.decision = "the only continuation";
    return found[best];
  }
  if (expected) {
    std::vector<std::size_t> ending;
    for (std::size_t i = 0; i < found.size(); ++i)
      if (reaches(found[i], file_at, *expected, rule)) ending.push_back(i);
    if (ending.size() == 1 && record.roughness[ending[0]] <= record.roughness[best] + kMargin) {
      record.decision = "the one that ends at the recording's length";
      return found[ending[0]];
    }
  }
  if (record.roughness[best] + kMargin <= record.roughness[order[1]] &&
      record.roughness[best] <= kImplausible) {
    record.decision = "the audio runs on most smoothly";
    return found[best];
  }
  // The file system gives a file the next free cluster: of the continuations
  // that sound no worse than the best, the nearest after the break.
  std::optional<std::size_t> nearest;
  for (std::size_t i = 0; i < found.size(); ++i)
    if (found[i] > failed_at && record.roughness[i] <= record.roughness[best] + kMargin &&
        (!nearest || found[i] < found[*nearest]))
      nearest = i;
  if (nearest && record.roughness[*nearest] <= kImplausible) {
    record.decision = "the nearest free run after the break, as the file system allocates";
    return found[*nearest];
  }
  record.decision = "undecided: continuations sound alike";
  return std::nullopt;
}

Chain ChainFollower::follow(uint64_t image_at, uint64_t file_at, std::optional<uint64_t> expected,
                            ModeRule rule) {
  Chain chain;
  const uint64_t cluster = layout_.geometry().cluster;
  chain.pieces.push_back({image_at, file_at, 0});
  uint64_t at = image_at;
  uint64_t offset = file_at;
  int mode = rule == ModeRule::Lp ? 1 : 0;
  bool first = true;

  const auto take = [&](uint64_t length, const Window& w) {
    chain.pieces.back().length += length;
    for (const FileRange& r : w.lost)
      add_range(chain.damaged, r.start, std::min(r.end, offset + length));
    layout_.set(at, length, ClusterState::Claimed);
    at += length;
    offset += length;
  };

  while (!expected || offset < *expected) {
    if (at >= image_.size()) break;
    // The first window runs to the next cluster start (a header need not sit on the grid).
    const uint64_t boundary = layout_.cluster_start(at) + cluster;
    uint64_t length = (at < layout_.geometry().origin ? cluster : boundary - at);
    const bool last = expected && *expected - offset <= length;
    if (last) length = *expected - offset;
    const bool free = first || usable(at);
    Window w = read_window(at, length, offset, rule);
    if (w.marks.good > 0 && rule == ModeRule::Either) {
      // Mixed recordings keep the mode their pages have.
      const uint64_t flag_page =
          offset > kVqrHeaderSize ? (offset - kVqrHeaderSize) / kVqrPageSize : 0;
      const uint64_t flag = vqr_page_offset(flag_page) + kVqrFlagOffset;
      if (flag >= offset && flag < offset + w.present) mode = w.bytes[flag - offset] & 1;
    }
    first = false;

    if (free && w.present == length &&
        (w.marks.all_good() || (w.marks.pages == 0 && w.lost.empty()))) {
      take(length, w);
      continue;
    }
    if (free && last && !w.marks.bad_seen && w.marks.good > 0) {
      take(w.present, w);
      break;
    }
    if (free && w.marks.good_after_bad > 0) {
      take(length, w);
      continue;
    }
    const auto present = std::span(w.bytes).first(w.present);
    const bool blank =
        w.present == length && (uniform(present) || !w.lost.empty() || has_zero_run(present));
    if (free && blank) {
      // Zeroed or unreadable sectors: kept in place, as silence, when a
      // cluster close after them goes on at its offset.
      uint64_t skip = length;
      bool resumes = false;
      for (int n = 0; n < kMaxBlankClusters && at + skip < image_.size(); ++n) {
        const uint64_t next = at + skip;
        if (!usable(next)) break;
        const uint64_t next_length =
            expected ? std::min(cluster, *expected - offset - skip) : cluster;
        if (next_length == 0) {
          resumes = true;
          break;
        }
        const Window n_w = read_window(next, next_length, offset + skip, rule);
        if (n_w.marks.good > 0 && !n_w.marks.bad_seen && n_w.lost.empty()) {
          resumes = true;
          break;
        }
        skip += next_length;
      }
      if (resumes) {
        for (uint64_t done = 0; done < skip;) {
          const uint64_t part = done == 0 ? length : std::min(cluster, skip - done);
          const Window d = read_window(at, part, offset, rule);
          take(part, d);
          done += part;
        }
        continue;
      }
    }
    if (free && w.marks.good > 0) {
      if (!expected) {
        // The marks stop inside the cluster: the recording ends there.
        if (w.marks.whole_end > offset) take(w.marks.whole_end - offset, w);
        break;
      }
      take(std::min(length, w.present), w);
      continue;
    }
    // The end of a fragment (or of the recording).
    JoinRecord record;
    record.after = at;
    if (offset - chain.pieces.front().file_at < kVqrPageSize) break;
    const std::optional<uint64_t> next =
        find_continuation(chain, offset, at, expected, rule, mode, record);
    record.chosen = next;
    const bool meaningful = !(record.candidates.empty() && !expected);
    if (meaningful) chain.joins.push_back(record);
    if (!next) {
      chain.undecided = !record.candidates.empty();
      break;
    }
    chain.pieces.push_back({*next, offset, 0});
    at = *next;
    first = true;  // already judged free
  }
  chain.size = offset;
  chain.cut_short = expected && offset < *expected;
  // Drop empty pieces (a join found nothing to take).
  std::erase_if(chain.pieces, [](const Piece& p) { return p.length == 0; });
  return chain;
}

}  // namespace calendo::rescue
