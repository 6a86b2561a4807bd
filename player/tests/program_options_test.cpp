// calendo --help and --version print and end, with no display and no window;
// any other command line stays the file to open. Without a display the
// program says so and ends.
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "command_options.h"
#include "desktop/display_presence.h"

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

// The real program in an environment of `settings` alone (and PATH), with
// `arguments`: its status and what it wrote to stderr.
ProgramRun RunInCleanEnvironment(const std::string& settings, const std::string& arguments) {
  const std::string command = "env -i PATH=/usr/bin:/bin " + settings + " '" +
                              std::string(CALENDO_PROGRAM) + "' " + arguments + " 2>&1 >/dev/null";
  ProgramRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(ProgramOptions, WithoutADisplayTheProgramSaysSoAndEnds) {
  const std::string text = std::string(kNoDisplayText) + "\n";
  for (const char* settings :
       {"", "DISPLAY= WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb", "QT_QPA_PLATFORM='wayland;xcb'"}) {
    for (const char* arguments : {"", "memo.vqr"}) {
      const ProgramRun run = RunInCleanEnvironment(settings, arguments);
      EXPECT_EQ(run.status, 1) << settings << " " << arguments;
      EXPECT_EQ(run.out, text) << settings << " " << arguments;
    }
  }
  // --help needs no display.
  EXPECT_EQ(RunInCleanEnvironment("", "--help").status, 0);
}

TEST(ProgramOptions, ADisplayOrAPlatformThatNeedsNoneLetsTheWindowShow) {
  EXPECT_TRUE(CanShowWindow(":0", nullptr, nullptr));
  EXPECT_TRUE(CanShowWindow(nullptr, "wayland-0", nullptr));
  EXPECT_TRUE(CanShowWindow(nullptr, nullptr, "offscreen"));
  EXPECT_TRUE(CanShowWindow("", "", "minimal"));
  EXPECT_TRUE(CanShowWindow(nullptr, nullptr, "vnc:size=800x600"));
  EXPECT_TRUE(CanShowWindow(nullptr, nullptr, "xcb;offscreen"));
  EXPECT_FALSE(CanShowWindow(nullptr, nullptr, nullptr));
  EXPECT_FALSE(CanShowWindow("", "", ""));
  EXPECT_FALSE(CanShowWindow(nullptr, nullptr, "xcb"));
  EXPECT_FALSE(CanShowWindow(nullptr, nullptr, "wayland;xcb"));
  EXPECT_FALSE(CanShowWindow(nullptr, nullptr, "offscreenx"));
  EXPECT_FALSE(CanShowWindow(nullptr, nullptr, ";"));
}

}  // namespace
}  // namespace calendo
