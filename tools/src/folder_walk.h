// The recorder files under folders (-r), and the folders their WAV files go
// to. Files are recognised by their content (the container's magic bytes),
// whatever their names; everything else is skipped and counted.
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

struct FolderWalk {
  std::vector<FoundRecording> recordings;  // folder by folder, names in byte order
  size_t skipped = 0;                      // files that are no recorder files
  // Of those, the ones named as recordings (.vqr, .vqm): damaged or never finished.
  std::vector<std::string> damaged;
  std::vector<UnreadableFolder> unreadable;
};

// The name of the folder under the output that holds the files of `root`
// when several folders are walked: the last part of its path.
std::string FolderOutputName(const std::string& root);

// Walks every folder of `roots`; any other argument is taken as a file to
// convert as given. With `output` empty the WAV files go beside their
// sources; otherwise under `output` in the folders relative to the root,
// each root's under a folder of its FolderOutputName when more than one root
// is a folder. The folder `output` itself is never walked.
FolderWalk WalkFolders(const std::vector<std::string>& roots, const std::string& output);

}  // namespace calendo::tool
