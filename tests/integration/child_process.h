// A program of this project started by a test as a user starts it: in a
// working directory of the test, with its output kept in a file, and never
// left running (the destructor kills and reaps it).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kvt::test {

//! How a child ended.
struct ChildEnd {
  bool finished = false;  //!< false: still running when the wait gave up
  bool exited = false;    //!< ended through exit() / return from main
  int exitCode = -1;      //!< exit status when `exited`
  int signal = 0;         //!< terminating signal when it did not exit
};

class ChildProcess {
 public:
  //! Starts `program` with `args` (without the program name) in `workDir`,
  //! standard output and error appended to `outputFile`, with the test's
  //! environment plus `extraEnv` ("NAME=value"). Throws std::runtime_error
  //! when the process cannot be created; a program that cannot be run exits 127.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& workDir, const std::string& outputFile,
               const std::vector<std::string>& extraEnv = {});
  //! Kills (SIGKILL) and reaps the child when it still runs.
  ~ChildProcess() noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  //! Waits up to `timeout` for the child to end; polls, so it never hangs.
  ChildEnd Wait(std::chrono::milliseconds timeout);
  //! True while the child has not ended (reaps it when it has).
  bool Running();
  //! Sends `sig` to the child (nothing when it has ended).
  void Signal(int sig);

 private:
  pid_t pid_ = -1;
  ChildEnd end_;
};

//! Whole content of a file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

}  // namespace kvt::test
