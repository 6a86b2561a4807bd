#include "run_stop.h"

#include <sys/mman.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>

namespace calendo::tool {
namespace {

volatile int stop_signal = 0;

void AskToStop(int signal_number) {
  stop_signal = signal_number;
}

std::string ShellWord(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
  });
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

SharedSlots::SharedSlots(size_t count) : count_(count) {
  if (count == 0) return;
  void* memory = ::mmap(nullptr, count * sizeof(SharedProgress), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  slots_ = static_cast<SharedProgress*>(memory);
  for (size_t i = 0; i < count; ++i) new (slots_ + i) SharedProgress();
}

SharedSlots::~SharedSlots() {
  if (slots_ != nullptr) ::munmap(slots_, count_ * sizeof(SharedProgress));
}

StopOnSignals::StopOnSignals() {
  stop_signal = 0;
  struct sigaction ask {};
  ask.sa_handler = AskToStop;
  sigemptyset(&ask.sa_mask);
  ::sigaction(SIGINT, &ask, &old_interrupt_);
  ::sigaction(SIGTERM, &ask, &old_terminate_);
}

StopOnSignals::~StopOnSignals() {
  RestoreInChild();
}

void StopOnSignals::RestoreInChild() const {
  ::sigaction(SIGINT, &old_interrupt_, nullptr);
  ::sigaction(SIGTERM, &old_terminate_, nullptr);
}

int StopOnSignals::signal_number() const {
  return stop_signal;
}

const volatile int* StopOnSignals::flag() const {
  return &stop_signal;
}

std::string CarryOnCommand(const Options& options) {
  std::string command = "calendo-convert";
  if (!options.skip_existing) command += " --skip-existing";
  for (const std::string& argument : options.arguments) command += " " + ShellWord(argument);
  return command;
}

}  // namespace calendo::tool
