// <windows.h> with the macros that keep it lean and free of min/max; every
// Win32 implementation file of the platform seam includes it first.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
