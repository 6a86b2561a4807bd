#include "platform/dialogs.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct HandlerSlot {
  std::mutex mutex;
  std::shared_ptr<const MessageBoxHandler> handler;
};

HandlerSlot& slot() {
  // Never destroyed: a library may show a box while the process exits.
  static HandlerSlot* instance = new HandlerSlot;
  return *instance;
}

int32_t answer_on_stderr(const MessageBoxRequest& request) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(request.title.size()), request.title.data(),
               static_cast<int>(request.text.size()), request.text.data());
  std::fflush(stderr);
  return message_box_default_answer(request.style);
}

}  // namespace

int32_t message_box(std::uintptr_t owner, std::string_view text, std::string_view title,
                    int32_t style) {
  std::shared_ptr<const MessageBoxHandler> handler;
  {
    std::lock_guard lock(slot().mutex);
    handler = slot().handler;
  }
  MessageBoxRequest request{owner, std::string(text), std::string(title), style};
  // The handler runs outside the lock: it may wait for the user for as long
  // as it likes, and may itself install another handler.
  if (handler) return (*handler)(request);
  return answer_on_stderr(request);
}

MessageBoxHandler set_message_box_handler(MessageBoxHandler handler) {
  std::shared_ptr<const MessageBoxHandler> next;
  if (handler) next = std::make_shared<const MessageBoxHandler>(std::move(handler));
  std::shared_ptr<const MessageBoxHandler> previous;
  {
    std::lock_guard lock(slot().mutex);
    previous = std::exchange(slot().handler, std::move(next));
  }
  return previous ? *previous : MessageBoxHandler();
}

std::vector<int32_t> message_box_buttons(int32_t style) {
  switch (style & 0xF) {
    case kMbOkCancel:
      return {kIdOk, kIdCancel};
    case kMbAbortRetryIgnore:
      return {kIdAbort, kIdRetry, kIdIgnore};
    case kMbYesNoCancel:
      return {kIdYes, kIdNo, kIdCancel};
    case kMbYesNo:
      return {kIdYes, kIdNo};
    case kMbRetryCancel:
      return {kIdRetry, kIdCancel};
    case kMbCancelTryContinue:
      return {kIdCancel, kIdTryAgain, kIdContinue};
    default:
      return {kIdOk};
  }
}

int32_t message_box_default_answer(int32_t style) {
  const std::vector<int32_t> buttons = message_box_buttons(style);
  const auto position = static_cast<std::size_t>((style & 0xF00) >> 8);
  // A default beyond the last button falls back to the first, as a box
  // without such a button would.
  return position < buttons.size() ? buttons[position] : buttons.front();
}

MessageBoxIcon message_box_icon(int32_t style) {
  switch (style & 0xF0) {
    case kMbIconStop:
      return MessageBoxIcon::stop;
    case kMbIconQuestion:
      return MessageBoxIcon::question;
    case kMbIconExclamation:
      return MessageBoxIcon::exclamation;
    case kMbIconInformation:
      return MessageBoxIcon::information;
    default:
      return MessageBoxIcon::none;
  }
}

}  // namespace platform
