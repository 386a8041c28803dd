// The program's console on Windows: consoles told from pipes and files by
// GetConsoleMode, the C runtime's streams in binary mode, the console's
// output code page, and the wide command line split and turned into UTF-8.
#include "foundation/platform/win32_headers.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "foundation/platform/console.h"

namespace tavelnor::platform {
namespace {

UINT g_previous_output_cp = 0;

void RestoreConsoleOutputCp() {
  std::fflush(nullptr);
  if (g_previous_output_cp != 0) SetConsoleOutputCP(g_previous_output_cp);
}

std::string Utf8Of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size) - 1);  // the terminating zero
  return out;
}

}  // namespace

// The process's standard handles rather than the C runtime's descriptor
// table, whose lookup of a descriptor it does not hold may end the process.
bool IsTerminal(int fd) {
  const DWORD which = fd == 0   ? STD_INPUT_HANDLE
                      : fd == 1 ? STD_OUTPUT_HANDLE
                      : fd == 2 ? STD_ERROR_HANDLE
                                : 0;
  if (which == 0) return false;
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void PrepareUtf8Output() {
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (g_previous_output_cp != 0 || !IsTerminal(1)) return;
  const UINT previous = GetConsoleOutputCP();
  if (previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  g_previous_output_cp = previous;
  std::atexit(RestoreConsoleOutputCp);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    if (count == argc) {
      for (int i = 0; i < count; ++i) args.push_back(Utf8Of(wide[i]));
    }
    LocalFree(wide);
  }
  if (static_cast<int>(args.size()) != argc) {
    args.clear();
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  }
  return args;
}

}  // namespace tavelnor::platform
