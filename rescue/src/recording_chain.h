// Follows a vqr recording through a card image cluster by cluster, as long
// as the page marks stand where its page grid puts them, and where they stop
// before the recording's end, looks for the cluster it goes on in.
//
// A cluster goes on the recording when its marks fit the grid at the file
// offset it would hold. One that does not fit is, in this order: the
// recording's last cluster (the length is reached, or the marks stop inside
// it and no length is known); a damaged cluster (good marks after bad ones,
// or zeroed or unreadable sectors between fitting clusters), kept in place so
// the times stay right; or the end of a fragment. A continuation must start
// a cluster, be free (no live file owns it, no recovered recording holds it),
// open no header, begin a run (the page before it is not in the cluster
// before), keep the grid's phase and the recording's page mode. Among several
// the one that ends the recording at the length the header or the directory
// entry gives, or whose audio runs on clearly more smoothly, is taken; a tie
// is not guessed: the chain stops there, undecided.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendo/byte_source.h"
#include "card_layout.h"
#include "page_scan.h"
#include "vqr_page_check.h"

namespace calendo::rescue {

struct Piece {
  uint64_t image_at = 0;
  uint64_t file_at = 0;
  uint64_t length = 0;
};

struct FileRange {
  uint64_t start = 0;
  uint64_t end = 0;
};

struct JoinRecord {
  uint64_t file_at = 0;              // where the next fragment starts in the file
  uint64_t after = 0;                // image offset where the previous fragment ended
  std::vector<uint64_t> candidates;  // image offsets considered
  std::vector<double> roughness;     // of each candidate's join
  std::optional<uint64_t> chosen;    // image offset taken
  std::string decision;              // why
};

struct Chain {
  std::vector<Piece> pieces;       // in file order
  std::vector<FileRange> damaged;  // zeroed, unreadable or lost bytes
  std::vector<JoinRecord> joins;
  uint64_t size = 0;       // file bytes the chain holds
  bool undecided = false;  // stopped at a join it could not decide
  bool cut_short = false;  // a known length was not reached
};

class ChainFollower {
 public:
  ChainFollower(const ByteSource& image, CardLayout& layout, const ScanIndex& index)
      : image_(image), layout_(layout), index_(index) {}

  // Starts at image offset `image_at`, which holds file offset `file_at`;
  // `expected` is the file's length where one is known. Claims the clusters
  // it takes.
  Chain follow(uint64_t image_at, uint64_t file_at, std::optional<uint64_t> expected,
               ModeRule rule);

 private:
  struct Window;
  Window read_window(uint64_t image_at, uint64_t length, uint64_t file_at, ModeRule rule) const;
  bool usable(uint64_t image_at) const;
  std::optional<uint64_t> find_continuation(const Chain& chain, uint64_t file_at,
                                            uint64_t failed_at, std::optional<uint64_t> expected,
                                            ModeRule rule, int mode, JoinRecord& record) const;
  bool reaches(uint64_t image_at, uint64_t file_at, uint64_t expected, ModeRule rule) const;

  const ByteSource& image_;
  CardLayout& layout_;
  const ScanIndex& index_;
};

// The file offset a headerless run's first page is given: far enough in that
// the cluster before it fits in front of it.
uint64_t headerless_file_offset(uint64_t cluster);

}  // namespace calendo::rescue
