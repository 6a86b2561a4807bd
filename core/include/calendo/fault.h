// The one error vocabulary of the project's C++ code: a step either gives its
// value or a Fault that says what kind of failure it is, where (a byte offset
// in the file or stream it read, 0 where no place applies) and what is wrong,
// in words a user can read ("page size 1 counts 22,000 pages; the file holds
// 41"). Internal code passes Faults up unchanged or with context added; only
// the edges turn them into something else: an integer at a library's C
// boundary, an exit status and a line in the tools, a message box in the
// player. Plain value types: any thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace calendo {

enum class Failure {
  CannotOpen,    // missing, unreadable, or not a regular file
  WrongKind,     // not a file of the kind asked for, or a header check failed
  CannotRead,    // the system failed a read of a file that was open
  CannotCreate,  // an output file or folder cannot be made
  CannotWrite,   // an output file cannot be written in full (full disk, ...)
  Exists,        // the output's name is taken and may not be replaced
  Changed,       // the source changed while it was read
  Unsupported,   // a request outside what the code supports
  IsFolder,      // a folder where a file was asked for (a walk of folders could take it)
};

struct Fault {
  Failure failure = Failure::CannotOpen;
  uint64_t offset = 0;   // where in the input the offending bytes lie
  std::string message;   // what is wrong, with the values that show it
  int system_error = 0;  // the errno behind it, where the system reported one

  // The message with "(at byte N)" behind it where the offset says something.
  std::string located() const {
    return offset == 0 ? message : message + " (at byte " + std::to_string(offset) + ")";
  }
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Fault fault) : state_(std::move(fault)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  const Fault& fault() const { return std::get<Fault>(state_); }
  // The value, or `otherwise` for a fault.
  T value_or(T otherwise) const { return ok() ? value() : std::move(otherwise); }

 private:
  std::variant<T, Fault> state_;
};

// The outcome of a step that gives no value.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Fault fault) : fault_(std::move(fault)), ok_(false) {}

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const Fault& fault() const { return fault_; }

 private:
  Fault fault_;
  bool ok_ = true;
};

}  // namespace calendo
