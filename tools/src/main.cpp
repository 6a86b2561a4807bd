// calendo-convert: converts recorder files to WAV, tells what they hold, and
// makes recorder files from WAV files, through the player's libraries.
#include <cstdio>
#include <string>
#include <vector>

#include "calendo/client/pending_file_signals.h"
#include "commands.h"
#include "libraries.h"
#include "options.h"
#include "overview_commands.h"

int main(int argc, char** argv) {
  using namespace calendo::tool;
  const calendo::Result<Options> options =
      ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options.ok()) {
    std::fprintf(stderr, "calendo-convert: %s\nTry 'calendo-convert --help'.\n",
                 options.fault().message.c_str());
    return kExitUsage;
  }
  switch (options->mode) {
    case Mode::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return kExitDone;
    case Mode::kVersion:
      std::printf("calendo-convert %s\n", VersionText());
      return kExitDone;
    default:
      break;
  }
  UseLibrariesBesideProgram();
  calendo::client::RemovePendingFilesOnSignals();
  switch (options->mode) {
    case Mode::kInfo:
      return RunInfo(*options);
    case Mode::kEncode:
      return RunEncode(*options);
    case Mode::kPeaks:
      return RunPeaks(*options);
    case Mode::kSilences:
      return RunSilences(*options);
    default:
      return RunConvert(*options);
  }
}
