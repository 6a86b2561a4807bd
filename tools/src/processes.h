// Running one task per file in child processes, a few at a time. The codec
// state of the libraries is per process, so files decoded at the same time
// must each have a process of their own.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "calendo/fault.h"

namespace calendo::tool {

struct TaskEnd {
  bool succeeded = false;
  int signal_number = 0;  // the signal that ended the child, else 0
  std::string out;        // with capture: what the child wrote to standard output
  std::string err;        // ... and to standard error
};

// Runs task(i) for every i below `count`, each in a child process, at most
// `jobs` at once; `finished(i, end)` runs in this process as each one ends,
// in the order they end. Returns the number of tasks that did not succeed.
// With `capture`, a child's standard output and error go to unnamed files in
// the temporary folder (TMPDIR) and reach `finished` in the TaskEnd, for the
// caller to show them whole (lines of children running at once never
// interleave). When the children can no longer be waited for, the Fault says
// why ("waiting for a child process: ..."); the tasks `finished` was not
// called for then never ended here.
// A child is sent SIGTERM when this process ends, by any signal too.
// Sets SIGCHLD to its default action, which waiting for children needs.
// REQUIRES: the process has one thread (fork).
// While children run, `hooks` (when given) are looked at about ten times a
// second: `tick` runs, and once `*stop` is not 0 no more children are started
// and the running ones are sent that signal (SIGINT, SIGTERM) unless they had
// it already; they are waited for, and the tasks never started are not
// `finished`.
struct ProcessHooks {
  std::function<void()> tick;
  const volatile int* stop = nullptr;
};
Result<size_t> RunInProcesses(size_t count, int jobs, const std::function<bool(size_t)>& task,
                              const std::function<void(size_t, const TaskEnd&)>& finished,
                              bool capture = false, const ProcessHooks* hooks = nullptr);

}  // namespace calendo::tool
