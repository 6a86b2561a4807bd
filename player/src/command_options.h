// The options of the calendo program: --help and --version print and end
// the program; --no-settings, first, starts with the default settings and
// keeps none. Any other command line is the file to open, whole and unparsed.
#pragma once

#include <cstdio>
#include <optional>

#include <QStringList>

namespace calendo {

// When the arguments (argv[0] is the program) are exactly "--help" or
// "--version", writes the answer to `out` and returns the exit status;
// otherwise returns nothing and writes nothing. Needs no display.
std::optional<int> AnswerInformationOption(int argc, const char* const* argv, std::FILE* out);

// Whether `arguments` (the program first) start with --no-settings; if so it
// is taken out, and what follows is the command line.
bool TakeNoSettingsOption(QStringList& arguments);

}  // namespace calendo
