// The two options of the calendo program: --help and --version print and end
// the program. Any other command line is the file to open, whole and unparsed.
#pragma once

#include <cstdio>
#include <optional>

namespace calendo {

// When the arguments (argv[0] is the program) are exactly "--help" or
// "--version", writes the answer to `out` and returns the exit status;
// otherwise returns nothing and writes nothing. Needs no display.
std::optional<int> AnswerInformationOption(int argc, const char* const* argv, std::FILE* out);

}  // namespace calendo
