// calendo --help and --version print and end, with no display and no window;
// any other command line stays the file to open.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "command_options.h"

namespace calendo {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out;
};

// Runs the real program with `argument` and no display of any kind.
ProgramRun RunProgram(const std::string& argument) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                              std::string(CALENDO_PROGRAM) + "' " + argument + " 2>/dev/null";
  ProgramRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
  run.status = pclose(pipe);
  return run;
}

TEST(ProgramOptions, HelpAndVersionPrintAndEnd) {
  const ProgramRun help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: calendo [FILE]\n", 0), 0u) << help.out;
  for (const char* key :
       {"Space", "Esc", "Left/Right", "Home", "[, ]", "Ctrl+O", "Ctrl+Q", "--version"}) {
    EXPECT_NE(help.out.find(key), std::string::npos) << key;
  }

  const ProgramRun version = RunProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "calendo " CALENDO_TEST_VERSION "\n");
}

TEST(ProgramOptions, AnyOtherCommandLineIsLeftToTheWindow) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  for (const std::vector<const char*>& argv : {std::vector<const char*>{"calendo"},
                                               {"calendo", "memo.vqr"},
                                               {"calendo", "-h"},
                                               {"calendo", "--help", "memo.vqr"},
                                               {"calendo", "--version=1"}}) {
    EXPECT_FALSE(AnswerInformationOption(static_cast<int>(argv.size()), argv.data(), out))
        << argv.back();
  }
  EXPECT_EQ(std::ftell(out), 0);
  std::fclose(out);
}

}  // namespace
}  // namespace calendo
