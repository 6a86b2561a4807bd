// What a run of several files in child processes (-j) needs beyond running
// them: memory the children show their progress in, and an interruption
// (Ctrl+C, SIGTERM) that ends the run with its summary so far and the
// command that carries it on.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>

#include "options.h"
#include "progress.h"

namespace calendo::tool {

// One SharedProgress per file, in memory shared with the children forked
// after it is made. Without such memory (mmap refused) there are none.
class SharedSlots {
 public:
  explicit SharedSlots(size_t count);
  ~SharedSlots();
  SharedSlots(const SharedSlots&) = delete;
  SharedSlots& operator=(const SharedSlots&) = delete;

  SharedProgress* at(size_t i) const { return slots_ == nullptr ? nullptr : slots_ + i; }

 private:
  SharedProgress* slots_ = nullptr;
  size_t count_ = 0;
};

// While it lives, SIGINT and SIGTERM only set a flag in this process (one
// object at a time); the handlers before it come back when it goes.
class StopOnSignals {
 public:
  StopOnSignals();
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

  // The signal that asked to stop, else 0.
  int signal_number() const;
  const volatile int* flag() const;
  // In a child just forked: the handlers of before (a child's own pending
  // file is removed when a signal ends it).
  void RestoreInChild() const;

 private:
  struct sigaction old_interrupt_ {};
  struct sigaction old_terminate_ {};
};

// "calendo-convert --skip-existing ARGUMENTS", each argument quoted for a
// shell where it needs it.
std::string CarryOnCommand(const Options& options);

}  // namespace calendo::tool
