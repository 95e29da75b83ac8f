#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace vantrell::testing {

// Another workstation in a process of its own: it does its work (takes a
// lock, opens a record) and calls holdUntilKilled(), which tells the test it
// is ready and then waits, holding what the work took, until the test kills it.
class OtherProcess {
 public:
  using HoldUntilKilled = std::function<void()>;

  explicit OtherProcess(const std::function<void(const HoldUntilKilled&)>& work) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ready[0]);
      try {
        work([&] {
          const char signal = 'R';
          [[maybe_unused]] const auto written = ::write(ready[1], &signal, 1);
          for (;;) ::pause();
        });
      } catch (...) {
      }
      ::_exit(1);
    }
    ::close(ready[1]);
    char signal = 0;
    ready_ = ::read(ready[0], &signal, 1) == 1;
    ::close(ready[0]);
  }
  ~OtherProcess() { kill(); }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

  // Whether the work got as far as holding.
  bool ready() const { return ready_; }
  pid_t pid() const { return child_; }
  // Ends it the hard way, as a crash or a power cut would.
  void kill() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  bool ready_ = false;
};

}  // namespace vantrell::testing
