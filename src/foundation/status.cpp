#include "foundation/status.h"

namespace tavelnor {

std::string Status::ToString() const {
  const char* name = "ok";
  switch (code_) {
    case Code::kOk: return "ok";
    case Code::kNotFound: name = "not found"; break;
    case Code::kCorrupt: name = "corrupt"; break;
    case Code::kInvalidArgument: name = "invalid argument"; break;
    case Code::kIoError: name = "I/O error"; break;
    case Code::kUnsupported: name = "unsupported"; break;
  }
  return message_.empty() ? std::string(name) : std::string(name) + ": " + message_;
}

}  // namespace tavelnor
