// The outcome of an internal reader step: a value, or the reason a file is
// refused. Exports turn a Fault into their integer code at the C boundary.
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

namespace kestrune {

enum class Failure : int16_t {
  CannotOpen = 1,  // missing, unreadable, or not a regular file
  WrongKind = 13,  // not a file of the kind asked for, or a header check failed
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

}  // namespace kestrune
