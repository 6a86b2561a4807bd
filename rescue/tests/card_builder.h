// Test cards: recordings made by the project's encoder from speech-like
// signals, put on FAT images with mkfs.fat and mtools (never mounted), and
// the figures of a rescue of them: recordings back byte for byte, pages back
// in order, false joins, spurious files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rescue_test {

using Bytes = std::vector<uint8_t>;

// A vqr recording of `seconds` of a speech-like signal; `voice` varies the
// pitch, the syllable rate, the level and the noise, so recordings differ.
Bytes speech_recording(const std::filesystem::path& work, double seconds, int voice,
                       bool lp = false);

// Whether the tools the image tests need are on the PATH.
bool have_tools();

// Runs a shell command; throws when it fails.
void run(const std::string& command);

class FatImage {
 public:
  // A fresh image of `megabytes` MB made by mkfs.fat: FAT `bits` (16 or 32),
  // `cluster_sectors` sectors a cluster.
  FatImage(std::filesystem::path path, int megabytes, int bits, int cluster_sectors);

  const std::filesystem::path& path() const { return path_; }
  void copy_in(const std::filesystem::path& file, const std::string& name) const;
  void remove(const std::string& name) const;
  // A quick format: a new boot sector, FATs and root folder; the data stays.
  void format() const;

 private:
  std::filesystem::path path_;
  int bits_;
  int cluster_sectors_;
};

struct Figures {
  int recordings = 0;  // originals
  int exact = 0;       // originals found byte for byte in an output file
  uint64_t pages = 0;  // pages of the originals
  uint64_t pages_in_order = 0;
  int false_joins = 0;  // outputs with pages of two recordings, or out of order
  int spurious = 0;     // outputs with no page of any original
};

// Compares the files under `out` with the originals.
Figures measure(const std::vector<Bytes>& originals, const std::filesystem::path& out);

std::string describe(const std::string& state, const Figures& f);

}  // namespace rescue_test
