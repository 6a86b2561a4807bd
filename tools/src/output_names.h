// The names of the files one run writes. No two files of a run get the same
// name (a/DS400012.VQR and b/DS400012.VQR into one folder, memo.vqr beside
// memo.vqm), and no output takes the name of another source of the run, so
// --force only ever replaces files that were there before the run. The names
// are all decided before any file is converted, also when -j converts them
// in other processes, and they depend on the command line alone: a later run
// with --skip-existing finds the files the earlier one made.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio_format.h"

namespace calendo::tool {

struct OutputName {
  std::string path;
  std::string instead_of;  // the name another file of the run has, when not `path`
};

class OutputNames {
 public:
  // `sources`: every recorder file the run converts.
  explicit OutputNames(const std::vector<std::string>& sources);

  // The name of `source`'s output: `wanted` when the run has not given it
  // away yet; else the source's whole file name with the format's extension
  // (DS400012.VQR.wav), else a number before the extension (DS400012-2.wav).
  OutputName Claim(const std::string& source, const std::string& wanted, AudioFormat format);

 private:
  bool Free(const std::string& source_key, const std::string& path) const;

  std::set<std::string> sources_;
  std::set<std::string> claimed_;
};

}  // namespace calendo::tool
