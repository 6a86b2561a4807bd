#include "calendo/client/runtime_error.h"

namespace calendo {

std::string RuntimeError::StandardDescription(int32_t number) {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case kErrOverflow:
      return "Overflow";
    case kErrOutOfMemory:
      return "Out of memory";
    case kErrSubscriptOutOfRange:
      return "Subscript out of range";
    case 11:
      return "Division by zero";
    case 13:
      return "Type mismatch";
    case 48:
      return "Error in loading library";
    case kErrInternal:
      return "Internal error";
    case kErrFileNotFound:
      return "File not found";
    case 75:
      return "Path/File access error";
    case kErrEntryPointNotFound:
      return "Entry point not found";
    case kErrDialogCancelled:
      return "Cancel was selected.";
    default:
      return "Application-defined or object-defined error";
  }
}

void Raise(int32_t number) {
  throw RuntimeError(number, RuntimeError::StandardDescription(number));
}

}  // namespace calendo
