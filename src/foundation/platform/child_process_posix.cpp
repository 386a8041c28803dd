// Child processes on POSIX: posix_spawn (safe in a threaded parent), SIGKILL
// and waitpid.
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "foundation/platform/child_process.h"

extern char** environ;

namespace tavelnor::platform {

Result<ChildProcess> StartProcess(const std::string& executable,
                                  const std::vector<std::string>& args, const EnvVars& env) {
  std::vector<std::string> env_text;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    std::string entry(*e);
    bool overridden = false;
    for (const auto& [name, value] : env) {
      overridden = overridden || entry.compare(0, name.size() + 1, name + "=") == 0;
    }
    if (!overridden) env_text.push_back(std::move(entry));
  }
  for (const auto& [name, value] : env) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& s : env_text) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_text;
  argv_text.push_back(executable);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argv_text) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (rc != 0) return Status::IoError(executable + ": " + std::strerror(rc));
  ChildProcess child;
  child.pid = static_cast<uint32_t>(pid);
  return child;
}

Status KillProcess(const ChildProcess& child) {
  if (child.pid == 0) return Status::InvalidArgument("no process");
  if (kill(static_cast<pid_t>(child.pid), SIGKILL) != 0 && errno != ESRCH) {
    return Status::IoError(std::string("kill: ") + std::strerror(errno));
  }
  return Status::Ok();
}

Result<ChildExit> WaitProcess(ChildProcess* child) {
  if (child == nullptr || child->pid == 0) return Status::InvalidArgument("no process");
  int status = 0;
  pid_t rc;
  do {
    rc = waitpid(static_cast<pid_t>(child->pid), &status, 0);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) return Status::IoError(std::string("waitpid: ") + std::strerror(errno));
  child->pid = 0;
  ChildExit out;
  if (WIFSIGNALED(status)) {
    out.killed = true;
    out.code = WTERMSIG(status);
  } else {
    out.code = WEXITSTATUS(status);
  }
  return out;
}

std::string CurrentExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace tavelnor::platform
