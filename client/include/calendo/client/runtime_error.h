// Run-time errors of the player: the one kind of failure that travels inside
// the window's code, and the two ways it ends.
//
// Library calls that cannot be bound, dialogs that are cancelled and arithmetic
// that overflows raise a RuntimeError with the classic error number. A
// procedure that runs "with errors ignored" runs each of its statements
// through ResumeNext, which skips a failing statement and goes on with the
// next; everywhere else the error reaches the default handler that Form1 wraps
// around every event handler.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace calendo {

// Error numbers the player raises or catches.
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrOutOfMemory = 7;
inline constexpr int32_t kErrSubscriptOutOfRange = 9;
inline constexpr int32_t kErrInternal = 51;
inline constexpr int32_t kErrFileNotFound = 53;
inline constexpr int32_t kErrEntryPointNotFound = 453;
inline constexpr int32_t kErrDialogCancelled = 32755;

class RuntimeError : public std::exception {
 public:
  RuntimeError(int32_t number, std::string description)
      : number_(number), description_(std::move(description)) {}

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

  // The standard description of an error number ("Overflow", "File not found", …).
  static std::string StandardDescription(int32_t number);

 private:
  int32_t number_;
  std::string description_;
};

// Raises the error `number` with its standard description.
[[noreturn]] void Raise(int32_t number);

// Runs statements with run-time errors ignored: a statement that raises a
// RuntimeError is skipped and the next one runs. The numbers of the skipped
// errors are kept, in order, for whoever wants to know what went wrong.
class ResumeNext {
 public:
  template <typename Statement>
  void operator()(Statement&& statement) {
    try {
      statement();
    } catch (const RuntimeError& error) {
      skipped_.push_back(error.number());
    }
  }

  const std::vector<int32_t>& skipped() const { return skipped_; }

 private:
  std::vector<int32_t> skipped_;
};

}  // namespace calendo
