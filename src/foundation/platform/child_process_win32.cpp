// Child processes on Windows: CreateProcess with a merged environment block,
// TerminateProcess and WaitForSingleObject.
#include "foundation/platform/win32_headers.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "foundation/platform/child_process.h"

namespace tavelnor::platform {

namespace {

constexpr UINT kKilledCode = 0xDEAD;

// One argument quoted for the command line, as the C runtime parses it.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, '\\');
  out.push_back('"');
  return out;
}

bool SameName(const std::string& entry, const std::string& name) {
  if (entry.size() <= name.size() || entry[name.size()] != '=') return false;
  return std::equal(name.begin(), name.end(), entry.begin(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
}

}  // namespace

Result<ChildProcess> StartProcess(const std::string& executable,
                                  const std::vector<std::string>& args, const EnvVars& env) {
  std::string block;
  if (LPCH current = GetEnvironmentStringsA()) {
    for (const char* p = current; *p != '\0'; p += std::strlen(p) + 1) {
      std::string entry(p);
      bool overridden = false;
      for (const auto& [name, value] : env) overridden = overridden || SameName(entry, name);
      if (!overridden) block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(current);
  }
  for (const auto& [name, value] : env) block.append(name + "=" + value).push_back('\0');
  block.push_back('\0');
  std::string command = Quote(executable);
  for (const std::string& a : args) command += " " + Quote(a);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(executable.c_str(), command.data(), nullptr, nullptr, FALSE, 0, block.data(),
                      nullptr, &si, &pi)) {
    return Status::IoError(executable + ": cannot start");
  }
  CloseHandle(pi.hThread);
  ChildProcess child;
  child.pid = pi.dwProcessId;
  child.handle = reinterpret_cast<intptr_t>(pi.hProcess);
  return child;
}

Status KillProcess(const ChildProcess& child) {
  if (child.handle == 0) return Status::InvalidArgument("no process");
  if (!TerminateProcess(reinterpret_cast<HANDLE>(child.handle), kKilledCode)) {
    return Status::IoError("TerminateProcess failed");
  }
  return Status::Ok();
}

Result<ChildExit> WaitProcess(ChildProcess* child) {
  if (child == nullptr || child->handle == 0) return Status::InvalidArgument("no process");
  HANDLE h = reinterpret_cast<HANDLE>(child->handle);
  WaitForSingleObject(h, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  child->handle = 0;
  child->pid = 0;
  ChildExit out;
  out.killed = code == kKilledCode;
  out.code = static_cast<int>(code);
  return out;
}

std::string CurrentExecutablePath() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::string() : std::string(buf, n);
}

}  // namespace tavelnor::platform
