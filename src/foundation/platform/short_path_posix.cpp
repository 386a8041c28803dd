// POSIX has no short names: a path is its own short form.
#include "foundation/platform/short_path.h"

namespace tavelnor::platform {

std::optional<std::string> ShortPathForm(const std::string& path) { return path; }

}  // namespace tavelnor::platform
