// Known folders, environment expansion, the executable and the module version
// on Windows, through the ANSI entry points.
#include <shlobj.h>

#include <vector>

#include "foundation/platform/shell.h"
#include "foundation/platform/win32_headers.h"

namespace tavelnor::platform {

namespace {

const char kModuleAnchor = 0;  // any address inside this module

// The full path of `module` (null: the executable), growing the buffer until
// the name fits; empty on failure.
std::string ModuleFileName(HMODULE module) {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

std::string SystemKnownFolderPath(int csidl) {
  char buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
  std::string path(buf);
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string ExpandEnvironment(std::string_view text) {
  const std::string in(text);
  DWORD needed = ExpandEnvironmentStringsA(in.c_str(), nullptr, 0);
  if (needed == 0) return in;
  std::vector<char> buf(needed);
  DWORD n = ExpandEnvironmentStringsA(in.c_str(), buf.data(), needed);
  if (n == 0 || n > needed) return in;
  return std::string(buf.data());
}

std::string HostExecutablePath() { return ModuleFileName(nullptr); }

ModuleVersion CurrentModuleVersion() {
  ModuleVersion v;
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          &kModuleAnchor, &module)) {
    return v;
  }
  const std::string file = ModuleFileName(module);
  if (file.empty()) return v;  // kNoModuleFile
  v.state = ModuleVersion::State::kNoVersionResource;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return v;
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, info.data())) return v;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixed_size) ||
      fixed == nullptr || fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return v;
  }
  v.state = ModuleVersion::State::kFound;
  v.major = static_cast<int>(HIWORD(fixed->dwProductVersionMS));
  v.minor = static_cast<int>(LOWORD(fixed->dwProductVersionMS));
  return v;
}

}  // namespace tavelnor::platform
