/* How the C entry points of the libraries are declared on each system:
 * TAVELNOR_STDCALL is the calling convention of 32-bit Windows entry points
 * (nothing elsewhere); TAVELNOR_EXPORT_DEFAULT marks a symbol visible from a
 * shared library on POSIX (on Windows the .def files choose the exports).
 * A C header, so that C hosts can include what includes it. */
#ifndef TAVELNOR_PLATFORM_EXPORT_ABI_H
#define TAVELNOR_PLATFORM_EXPORT_ABI_H

#if defined(_WIN32)
#define TAVELNOR_STDCALL __stdcall
#define TAVELNOR_EXPORT_DEFAULT
#else
#define TAVELNOR_STDCALL
#define TAVELNOR_EXPORT_DEFAULT __attribute__((visibility("default")))
#endif

#endif /* TAVELNOR_PLATFORM_EXPORT_ABI_H */
