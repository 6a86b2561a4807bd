#include "command_options.h"

#include <cstring>

#ifndef CALENDO_VERSION
#define CALENDO_VERSION "unknown"
#endif

namespace calendo {
namespace {

constexpr char kHelpText[] =
    "Usage: calendo [FILE]\n"
    "\n"
    "Plays a voice recorder file (.vqr or .vqm) and converts it to a WAV file.\n"
    "FILE, everything after the program name, is opened and played at once. When\n"
    "a player already runs, FILE is handed to it and this start ends.\n"
    "\n"
    "Keys in the window:\n"
    "  Space       play; pause and resume while playing\n"
    "  Esc         stop\n"
    "  Left/Right  5 s back/forward\n"
    "  Home        first page\n"
    "  C, R        cue, review (double speed forward, backward)\n"
    "  [, ]        play 0.1x slower, faster (0.5x to 2.0x, pitch kept)\n"
    "  Ctrl+O      open a file\n"
    "  Ctrl+Q      exit\n"
    "  Ctrl+G      go to a typed time (1:02:03, 62:03, 3723 or [01:02:03])\n"
    "  L           loop start, loop end, no loop\n"
    "  Shift+Left/Right  1 s back/forward\n"
    "  Ctrl+Left/Right   30 s back/forward\n"
    "  Ctrl+T      copy the time heard as [hh:mm:ss]\n"
    "\n"
    "Speed, rewind, recent files and the place reached in each recording are\n"
    "kept in $XDG_CONFIG_HOME/calendo/calendo.ini.\n"
    "\n"
    "  --no-settings  start with the default settings and keep none (first)\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

}  // namespace

std::optional<int> AnswerInformationOption(int argc, const char* const* argv, std::FILE* out) {
  if (argc != 2) return std::nullopt;
  if (std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kHelpText, out);
  } else if (std::strcmp(argv[1], "--version") == 0) {
    std::fputs("calendo " CALENDO_VERSION "\n", out);
  } else {
    return std::nullopt;
  }
  return std::fflush(out) == 0 ? 0 : 1;
}

bool TakeNoSettingsOption(QStringList& arguments) {
  if (arguments.size() < 2 || arguments[1] != QLatin1String("--no-settings")) return false;
  arguments.removeAt(1);
  return true;
}

}  // namespace calendo
