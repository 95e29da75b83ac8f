#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ui/progress.hpp"

namespace vantrell::ui {

// Starts a companion program (data conversion, tutorial installer, backup) and
// waits for it.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // Whether the program is there to be run.
  virtual bool exists(const std::string& program) const = 0;
  // Runs it with the arguments and returns its exit code (-1 when it could not
  // be started or did not exit normally).
  virtual int run(const std::string& program, const std::vector<std::string>& arguments) = 0;
  // Where the companion programs are; a program named without a folder is run from there.
  virtual std::filesystem::path programDirectory() const { return {}; }
  // A program that reports "<caption>: <n>%" lines shows them here, and
  // Abort asks it to stop (as Ctrl+C would). Null: nobody watches.
  virtual void watchWith(Progress* progress) { (void)progress; }
  // What the last watched run wrote, for its messages after a failure.
  virtual std::string lastOutput() const { return {}; }
};

// Runs the companion programs installed beside the running program.
class ProcessLauncher final : public Launcher {
 public:
  explicit ProcessLauncher(std::filesystem::path programDirectory);
  // The directory of the running executable.
  static std::filesystem::path runningProgramDirectory();

  bool exists(const std::string& program) const override;
  int run(const std::string& program, const std::vector<std::string>& arguments) override;
  std::filesystem::path programDirectory() const override { return programDirectory_; }
  void watchWith(Progress* progress) override { progress_ = progress; }
  std::string lastOutput() const override { return output_; }

 private:
  int runWatched(const std::string& path, std::vector<char*>& argv);

  std::filesystem::path programDirectory_;
  Progress* progress_ = nullptr;
  std::string output_;
};

}  // namespace vantrell::ui
