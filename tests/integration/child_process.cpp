#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kvt::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workDir, const std::string& outputFile,
                           const std::vector<std::string>& extraEnv) {
  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are allowed in a threaded parent.
  std::vector<std::string> argStrings;
  argStrings.push_back(program);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    bool replaced = false;
    for (const std::string& x : extraEnv)
      if (entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
    if (!replaced) envStrings.push_back(entry);
  }
  envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0) throw std::runtime_error("cannot open " + outputFile);
  pid_ = ::fork();
  if (pid_ == 0) {
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out);
  if (pid_ < 0) throw std::runtime_error("fork failed for " + program);
}

ChildProcess::~ChildProcess() noexcept {
  if (Running()) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool ChildProcess::Running() {
  if (end_.finished || pid_ <= 0) return false;
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  end_.finished = true;
  if (r == pid_ && WIFEXITED(status)) {
    end_.exited = true;
    end_.exitCode = WEXITSTATUS(status);
  } else if (r == pid_ && WIFSIGNALED(status)) {
    end_.signal = WTERMSIG(status);
  }
  return false;
}

ChildEnd ChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return ChildEnd{};
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return end_;
}

void ChildProcess::Signal(int sig) {
  if (Running()) ::kill(pid_, sig);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace kvt::test
