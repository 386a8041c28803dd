// The platform seam: every operating-system service the library uses, behind
// small functions with one POSIX and one Win32 implementation. Code outside
// src/foundation/platform/ includes these headers instead of system headers.
#pragma once

#include "foundation/platform/files.h"          // IWYU pragma: export
#include "foundation/platform/memory.h"         // IWYU pragma: export
#include "foundation/platform/named_objects.h"  // IWYU pragma: export
#include "foundation/platform/process.h"        // IWYU pragma: export
#include "foundation/platform/sync.h"           // IWYU pragma: export
