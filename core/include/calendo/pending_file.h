// An output file that appears under its name only when it is complete.
//
// create() makes an empty file beside the target under a temporary name,
// ".NAME.part-XXXXXX" in the same folder (so that the last step is a rename
// within one file system), with the permissions a new file gets (0666 less
// the umask). The caller writes it through fd() or through temp_path() (a
// library that opens files by name may even replace it there). commit()
// flushes it to disk and renames it to the target; a file that is never
// committed is removed when its object goes.
//
// The temporary name keeps within the folder's limit on a name's length (255
// bytes on most file systems): where the target's name would make it longer,
// the part taken from that name is cut (at a UTF-8 character's start), never
// the unique suffix.
//
// The writer holds an exclusive flock(2) on the temporary file until the
// commit, so that a process killed outright (SIGKILL, a power cut) leaves a
// file that no one holds: remove_stale_pending_files() takes those away.
//
// Removing pending files when a signal ends the process is process-wide
// state that the core does not hold: a program that wants it installs a
// PendingFileWatcher (calendo/client/pending_file_signals.h), which learns
// every temporary name while it exists.
//
// Threads: one thread at a time per object; objects on different threads are
// independent.
#pragma once

#include <cstddef>
#include <string>

#include "calendo/fault.h"
#include "calendo/io.h"

namespace calendo {

// What a program that removes pending files by itself is told of them. Every
// call comes from the thread that creates, commits or drops the file, between
// hold() and release(); none may allocate or block, so that the watcher's
// signal handler can rely on what they leave.
class PendingFileWatcher {
 public:
  // Holds off the watcher's removals on this thread while a name changes.
  virtual void hold() noexcept = 0;
  virtual void release() noexcept = 0;
  // A temporary file now exists under `temp_path`: returns a ticket for
  // forget(), or -1 when the watcher cannot keep the name.
  virtual int watch(const char* temp_path) noexcept = 0;
  // The name given a ticket no longer belongs to a pending file.
  virtual void forget(int ticket) noexcept = 0;

 protected:
  ~PendingFileWatcher() = default;
};

// Installs the process's watcher (nullptr: none). Files made before keep the
// watcher they had. REQUIRES: `watcher` lives until the process ends.
void set_pending_file_watcher(PendingFileWatcher* watcher);

// Removes the temporary files of `target` (".NAME.part-XXXXXX" beside it)
// that no living process holds: those of a writer that was killed. Returns
// how many went. Files held by a writer, and names of other targets, stay.
std::size_t remove_stale_pending_files(const std::string& target);

class PendingFile {
 public:
  // Makes the empty temporary file beside `target`. A refusal is
  // CannotCreate: "cannot create a file in FOLDER: " and the system's text.
  static Result<PendingFile> create(const std::string& target);

  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&&) = delete;
  PendingFile(const PendingFile&) = delete;
  ~PendingFile();

  // Open for reading and writing until the commit.
  int fd() const { return fd_.get(); }
  // Empty once committed.
  const std::string& temp_path() const { return temp_path_; }
  const std::string& target() const { return target_; }

  // Flushes the file and gives it the target's name. Without `replace` an
  // existing file of that name is left alone and the commit fails with
  // Exists ("TARGET exists"); other refusals are CannotWrite ("cannot flush
  // TEMP: ...") and CannotCreate ("cannot name TARGET: ..."). A file whose
  // commit failed stays pending, its descriptor closed, and goes with its
  // object. REQUIRES: not committed yet.
  Status commit(bool replace);

 private:
  PendingFile(std::string target, std::string temp_path, UniqueFd fd, PendingFileWatcher* watcher,
              int ticket);
  Fault unflushed(const Fault& cause) const;
  void forget();

  std::string target_;
  std::string temp_path_;
  UniqueFd fd_;
  PendingFileWatcher* watcher_ = nullptr;
  int ticket_ = -1;
};

// Whether something (a file, a folder, a link, even a dangling one) has the
// name `path`; a name that cannot be looked at counts as taken.
bool name_taken(const std::string& path);

}  // namespace calendo
