// The replaceable answerer of the message seam.
#include <mutex>
#include <utility>

#include "foundation/platform/message_box.h"

namespace tavelnor::platform {

namespace {
std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
MessageHandler& InstalledHandler() {
  static MessageHandler h;
  return h;
}
}  // namespace

MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = InstalledHandler();
  }
  // Called outside the lock: a handler may itself install another one.
  if (handler) return handler(text, buttons);
  return ShowSystemMessage(text, buttons);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  return std::exchange(InstalledHandler(), std::move(handler));
}

}  // namespace tavelnor::platform
