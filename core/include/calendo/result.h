// The outcome of a step that reads a file: a value, or the reason the file is
// refused (a category, the byte offset of the offending field, and a message
// naming that field). The core never turns a Fault into a number; each library
// does that at its C boundary. A plain value type: any thread.
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

namespace calendo {

enum class Failure {
  CannotOpen,  // missing, unreadable, or not a regular file
  WrongKind,   // not a file of the kind asked for, or a header check failed
};

struct Fault {
  Failure failure;
  uint64_t offset;   // where in the file the offending field lies
  const char* what;  // which check failed, for a reader of the code or a debugger
};

template <class T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Fault fault) : state_(fault) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  const Fault& fault() const { return std::get<Fault>(state_); }

 private:
  std::variant<T, Fault> state_;
};

}  // namespace calendo
