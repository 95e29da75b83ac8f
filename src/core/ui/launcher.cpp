#include "ui/launcher.hpp"

#include <spawn.h>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

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
  pid_t child = 0;
  if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vantrell::ui
