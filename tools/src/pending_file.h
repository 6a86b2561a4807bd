// An output file that appears under its final name only when it is complete.
//
// The file is written under a temporary name in the same folder (so that the
// last step is a rename within one file system), then committed: flushed to
// disk and renamed to its final name. A pending file that is not committed is
// removed, also when the process is ended by SIGINT, SIGTERM or SIGHUP while
// it is being written.
//
// Threads: one thread per process; at most two pending files at a time are
// removed on a signal (the handler keeps two names).
#pragma once

#include <optional>
#include <string>

namespace calendo::tool {

class PendingFile {
 public:
  // Makes an empty temporary file beside `final_path`. On failure returns
  // nothing, the reason in `error`.
  static std::optional<PendingFile> Create(const std::string& final_path, std::string& error);

  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&&) = delete;
  PendingFile(const PendingFile&) = delete;
  ~PendingFile();

  const std::string& temp_path() const { return temp_path_; }
  const std::string& final_path() const { return final_path_; }

  // Flushes the file and gives it its final name. Without `replace` an
  // existing file of that name is left alone and the commit fails.
  bool Commit(bool replace, std::string& error);

 private:
  PendingFile(std::string final_path, std::string temp_path, int signal_slot);
  void Discard();

  std::string final_path_;
  std::string temp_path_;  // empty once committed or discarded
  int signal_slot_ = -1;   // where the signal handler keeps its name, or -1
};

// Whether something (a file, a folder, a link, even a dangling one) has the
// name `path`; a name that cannot be looked at counts as taken.
bool NameTaken(const std::string& path);

// Installs the handlers that remove a pending file when the process is ended
// by a signal, and ignores SIGXFSZ so that writing past a file-size limit
// fails as a full disk does. Call once at start.
void RemovePendingFilesOnSignals();

}  // namespace calendo::tool
