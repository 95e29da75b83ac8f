#include "ui/launcher.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

extern char** environ;

namespace vantrell::ui {

ProcessLauncher::ProcessLauncher(std::filesystem::path programDirectory)
    : programDirectory_(std::move(programDirectory)) {}

std::filesystem::path ProcessLauncher::runningProgramDirectory() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : self.parent_path();
}

bool ProcessLauncher::exists(const std::string& program) const {
  return ::access((programDirectory_ / program).c_str(), X_OK) == 0;
}

int ProcessLauncher::run(const std::string& program, const std::vector<std::string>& arguments) {
  const std::string path = (programDirectory_ / program).string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  if (progress_ != nullptr) return runWatched(path, argv);
  pid_t child = 0;
  if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// "<caption>: <n>%", as the companion programs report how far they are.
bool progressLine(const std::string& line, std::string& caption, int& percent) {
  const auto colon = line.rfind(": ");
  if (colon == std::string::npos || line.empty() || line.back() != '%') return false;
  const std::string number = line.substr(colon + 2, line.size() - colon - 3);
  if (number.empty() || number.size() > 3 ||
      number.find_first_not_of("0123456789") != std::string::npos)
    return false;
  caption = line.substr(0, colon);
  percent = std::atoi(number.c_str());
  return true;
}

}  // namespace

int ProcessLauncher::runWatched(const std::string& path, std::vector<char*>& argv) {
  output_.clear();
  int pipe[2];
  if (::pipe(pipe) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe[0]);
  // Nobody answers at a terminal: the program asks nothing of its own.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (spawned != 0) {
    ::close(pipe[0]);
    return -1;
  }
  std::string pending, caption;
  int percent = 0;
  bool shown = false, stopAsked = false, reading = true;
  int status = 0;
  for (;;) {
    if (reading) {
      pollfd watched{pipe[0], POLLIN, 0};
      if (::poll(&watched, 1, 100) > 0) {
        char block[4096];
        const ssize_t got = ::read(pipe[0], block, sizeof block);
        if (got <= 0 && errno != EINTR) reading = false;
        for (ssize_t i = 0; i < got; ++i) {
          if (block[i] != '\n') {
            pending += block[i];
            continue;
          }
          std::string lineCaption;
          int linePercent = 0;
          if (progressLine(pending, lineCaption, linePercent)) {
            if (!shown || lineCaption != caption) {
              if (shown) progress_->end();
              progress_->begin(lineCaption, 100);
              shown = true;
            }
            caption = lineCaption;
            percent = linePercent;
          } else if (output_.size() < 64 * 1024) {
            output_ += pending + "\n";
          }
          pending.clear();
        }
      }
    } else {
      ::usleep(50000);
    }
    // Abort asks the program to stop where stopping leaves nothing half done.
    if (shown && !progress_->advance(percent) && !stopAsked) {
      ::kill(child, SIGTERM);
      stopAsked = true;
    }
    const pid_t ended = ::waitpid(child, &status, WNOHANG);
    if (ended == child && !reading) break;
    if (ended == child) {
      // Its last words, then done (a program it started may hold the pipe).
      reading = false;
      output_ += pending;
      pending.clear();
      char block[4096];
      ssize_t got = 0;
      ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
      while ((got = ::read(pipe[0], block, sizeof block)) > 0)
        if (output_.size() < 64 * 1024) output_.append(block, static_cast<std::size_t>(got));
      break;
    }
    if (ended < 0 && errno != EINTR) {
      status = -1;
      break;
    }
  }
  ::close(pipe[0]);
  if (shown) progress_->end();
  if (!pending.empty()) output_ += pending;
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vantrell::ui
