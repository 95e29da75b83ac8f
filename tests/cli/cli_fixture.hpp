#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/store_fixture.hpp"

namespace vantrell {

inline std::string jsonQuoted(const std::string& text) {
  return "\"" + text + "\"";
}

struct CliRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

inline CliRun runShell(const std::string& shellCommand) {
  const std::string command = shellCommand + " 2>&1";
  CliRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.output.append(buffer.data(), count);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline CliRun runCli(const std::string& arguments) {
  return runShell(std::string(VANTRELL_CLI) + " " + arguments);
}

// Every run gets a home of its own: settings, state and data never touch the
// tester's.
class IsolatedHome {
 public:
  IsolatedHome()
      : home_(std::filesystem::temp_directory_path() /
              ("vantrell-home-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(home_);
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home_ / "state").c_str(), 1);
  }
  ~IsolatedHome() {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }
  const std::filesystem::path& path() const { return home_; }

 private:
  std::filesystem::path home_;
};

class CommandLineProgram : public vantrell::testing::EngineTest {
 protected:
  IsolatedHome home_;
  std::string engineFlag() const { return engine() == store::Engine::Server ? "--server " : ""; }
  // The engine's flag, and on the shared test server a root of this test's own
  // (in a directory the isolated home's default root serves).
  std::string flags() {
    if (engine() != store::Engine::Server) return engineFlag();
    if (!serverRoot_) serverRoot_ = std::make_unique<vantrell::testing::PracticeSpace>(engine());
    return engineFlag() + "--root " + serverRoot_->location().path + " ";
  }
  // A table of the practice as the command line exports it, the run to succeed;
  // `cli` is the program's flags with the practice.
  nlohmann::json exported(const std::string& cli, const std::string& table) {
    const CliRun run = runCli(cli + "--json table export " + table);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return nlohmann::json::parse(run.output);
  }
  // Where the test's practice lives: a directory of the home, or the test's schema.
  std::string practicePath(const char* directory) const {
    return engine() == store::Engine::Server ? space_->location().path
                                             : (home_.path() / directory).string();
  }

 private:
  std::unique_ptr<vantrell::testing::PracticeSpace> serverRoot_;
};

}  // namespace vantrell
