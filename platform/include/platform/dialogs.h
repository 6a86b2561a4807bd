// Message boxes: the one entry point through which every module asks the user
// a question or tells of a failure.
//
// The host program installs a handler that shows real boxes (the player
// installs its Qt one). Without a handler a box writes "title: text" as one
// line to standard error and answers its default button, which for an OK box
// is OK. Tests install a scripted handler that records what was asked and
// answers as the test wants.
//
// Style and answer numbers are the classic Windows ones, since callers store
// and compare them: the low four bits choose the buttons, the next four the
// icon, the next four the default button.
//
// Any thread may call message_box(); the handler runs on the calling thread,
// so a host whose widgets live on one thread hands the call over itself.
// Installing a handler is thread-safe, and a box already being shown keeps
// the handler it started with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/export.h"

namespace platform {

// Buttons (style & 0xF).
inline constexpr int32_t kMbOk = 0;
inline constexpr int32_t kMbOkCancel = 1;
inline constexpr int32_t kMbAbortRetryIgnore = 2;
inline constexpr int32_t kMbYesNoCancel = 3;
inline constexpr int32_t kMbYesNo = 4;
inline constexpr int32_t kMbRetryCancel = 5;
inline constexpr int32_t kMbCancelTryContinue = 6;
// Icons (style & 0xF0).
inline constexpr int32_t kMbIconStop = 16;
inline constexpr int32_t kMbIconQuestion = 32;
inline constexpr int32_t kMbIconExclamation = 48;
inline constexpr int32_t kMbIconInformation = 64;
// Default button (style & 0xF00): the first unless one of these says otherwise.
inline constexpr int32_t kMbDefButton2 = 0x100;
inline constexpr int32_t kMbDefButton3 = 0x200;
inline constexpr int32_t kMbDefButton4 = 0x300;

// Answers: the button the user chose.
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdCancel = 2;
inline constexpr int32_t kIdAbort = 3;
inline constexpr int32_t kIdRetry = 4;
inline constexpr int32_t kIdIgnore = 5;
inline constexpr int32_t kIdYes = 6;
inline constexpr int32_t kIdNo = 7;
inline constexpr int32_t kIdTryAgain = 10;
inline constexpr int32_t kIdContinue = 11;

enum class MessageBoxIcon { none, stop, question, exclamation, information };

// One box as the caller asked for it. `owner` is the owner window's handle,
// 0 for none. Text and title are UTF-8 (the locale's encoding).
struct MessageBoxRequest {
  std::uintptr_t owner = 0;
  std::string text;
  std::string title;
  int32_t style = kMbOk;
};

// Shows the box and returns the answer (one of the kId values).
using MessageBoxHandler = std::function<int32_t(const MessageBoxRequest&)>;

// Shows a box and waits until it is closed; returns the chosen button.
CALENDO_PLATFORM_API int32_t message_box(std::uintptr_t owner, std::string_view text,
                                         std::string_view title, int32_t style);

// Installs `handler` for every later box and returns the one it replaces
// (empty when none was installed). An empty handler restores the standard
// error fallback.
CALENDO_PLATFORM_API MessageBoxHandler set_message_box_handler(MessageBoxHandler handler);

// The answers a box of `style` offers, in the order its buttons stand. An
// unknown button code gives a single OK button.
CALENDO_PLATFORM_API std::vector<int32_t> message_box_buttons(int32_t style);

// The answer of the box's default button.
CALENDO_PLATFORM_API int32_t message_box_default_answer(int32_t style);

CALENDO_PLATFORM_API MessageBoxIcon message_box_icon(int32_t style);

// Installs a handler for the lifetime of the object and puts the previous one
// back afterwards; meant for tests and for a host's main().
class ScopedMessageBoxHandler {
 public:
  explicit ScopedMessageBoxHandler(MessageBoxHandler handler)
      : previous_(set_message_box_handler(std::move(handler))) {}
  ~ScopedMessageBoxHandler() { set_message_box_handler(std::move(previous_)); }
  ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
  ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

 private:
  MessageBoxHandler previous_;
};

}  // namespace platform
