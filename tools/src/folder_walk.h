// The recorder files under folders (-r), and the folders their WAV files go
// to. Files are recognised by their content (the container's magic bytes),
// whatever their names; everything else is skipped, with the reason. A file
// named as a recording (.vqr, .vqm in any case) whose content is none, and a
// file that cannot be opened, are no skips but damaged or unreadable files.
//
// Symbolic links to files are followed; links to folders are not (counted as
// skipped), and no folder is entered twice, so a loop of links or mounts ends
// the walk of that branch instead of running forever. A folder that cannot be
// read is reported and the walk goes on with the others.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "calendo/fault.h"

namespace calendo::tool {

struct FoundRecording {
  std::string source;
  std::string folder;  // where its WAV file goes (empty: beside the source)
};

struct UnreadableFolder {
  std::string folder;
  Fault fault;  // CannotRead: "cannot be read: " and the system's words
};

struct WalkedFile {
  std::string path;
  std::string reason;  // for a person: "not a recorder file", "is empty", ...
};

struct FolderWalk {
  std::vector<FoundRecording> recordings;  // folder by folder, names in byte order
  std::vector<WalkedFile> skipped;         // no recorder files, links to folders, FIFOs
  // Named as recordings (.vqr, .vqm) but not readable as one: damaged or never finished.
  std::vector<WalkedFile> damaged;
  std::vector<UnreadableFolder> unreadable;
  std::vector<WalkedFile> unreadable_files;  // regular files that cannot be opened
  std::string output_inside;  // the output folder as met inside a walked folder, else empty
};

// The name of the folder under the output that holds the files of `root`
// when several folders are walked: the last part of its path.
std::string FolderOutputName(const std::string& root);

// Walks every folder of `roots`; any other argument is taken as a file to
// convert as given. With `output` empty the WAV files go beside their
// sources; otherwise under `output` in the folders relative to the root,
// each root's under a folder of its FolderOutputName when more than one root
// is a folder. The folder `output` itself is never walked, also where it lies
// inside a root (output_inside then names it). A folder that cannot be looked
// at, also for a path longer than the system takes, is unreadable.
FolderWalk WalkFolders(const std::vector<std::string>& roots, const std::string& output);

}  // namespace calendo::tool
