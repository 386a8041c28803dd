// Platform seam: a message shown to the user with OK or Yes/No buttons.
//
// The library asks through ShowMessage; a host (or a test) may replace the
// answerer with SetMessageHandler. Without a handler the platform's own box
// answers: a modal message box on Windows; on POSIX, where the library runs
// without a user interface, the text goes to stderr and the answer is the one
// a non-interactive host gives (No to a question, OK to a notice).
// Texts are Windows-1252 bytes. Safe to call from several threads.
#pragma once

#include <functional>
#include <string_view>

namespace tavelnor::platform {

enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

using MessageHandler = std::function<MessageAnswer(std::string_view text, MessageButtons buttons)>;

// Asks through the installed handler, or the platform's box when none is set.
MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons);

// Installs `handler` (an empty one restores the platform's box) and answers
// the handler it replaces (empty when the platform's box was in use).
MessageHandler SetMessageHandler(MessageHandler handler);

// The platform's own box, whatever handler is installed.
MessageAnswer ShowSystemMessage(std::string_view text, MessageButtons buttons);

}  // namespace tavelnor::platform
