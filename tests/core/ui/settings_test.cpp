#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ui/settings.hpp"

namespace vantrell::ui {
namespace {

TEST(IniSettings, ValuesSurviveARestartAndKeepTheirKeyPaths) {
  const auto directory = std::filesystem::temp_directory_path() / ("vantrell-settings-" + std::to_string(::getpid()));
  const auto file = directory / "nested" / "settings.ini";
  {
    IniSettings settings(file);
    settings.write("Software\\Vantrell", "Root Data Path", "/data/Vantrell");
    settings.write("Software\\Vantrell", "Current Practice", "C:\\odd=path\nsecond line");
    settings.write("Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Create", "Billing", "E");
    settings.remove("Software\\Vantrell", "Missing Value");
  }
  IniSettings reread(file);
  EXPECT_EQ(reread.read("Software\\Vantrell", "Root Data Path"), "/data/Vantrell");
  EXPECT_EQ(reread.read("Software\\Vantrell", "Current Practice"), "C:\\odd=path\nsecond line");
  EXPECT_EQ(reread.read("Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Create", "Billing"), "E");
  EXPECT_EQ(reread.read("Software\\Vantrell", "Use Server Time"), std::nullopt);
  reread.remove("Software\\Vantrell", "Root Data Path");
  EXPECT_EQ(IniSettings(file).read("Software\\Vantrell", "Root Data Path"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
  std::filesystem::remove_all(directory);
}

mode_t modeOf(const std::filesystem::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

// Several programs of one person start at once and each writes its own values
// (and the value they all write, as opening a practice does): none fails and
// no value is lost.
TEST(IniSettings, ProgramsWritingAtOnceNeitherFailNorLoseValues) {
  const auto directory = std::filesystem::temp_directory_path() /
                         ("vantrell-settings-race-" + std::to_string(::getpid()));
  std::filesystem::remove_all(directory);
  const auto file = directory / "vantrell" / "settings.ini";
  const mode_t previousMask = ::umask(0);  // the file stays private even so
  constexpr int programs = 6;
  constexpr int valuesEach = 15;
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int program = 0; program < programs; ++program) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(start[1]);
      char ignored = 0;
      (void)::read(start[0], &ignored, 1);  // all go when the parent closes the pipe
      int status = 0;
      try {
        IniSettings settings(file);
        for (int value = 0; value < valuesEach; ++value) {
          settings.write("Software\\Vantrell\\Program " + std::to_string(program),
                         "Value " + std::to_string(value), std::to_string(program * 100 + value));
          settings.write("Software\\Vantrell", "Current Practice",
                         "/data/practice" + std::to_string(program));
        }
      } catch (const std::exception&) {
        status = 3;
      }
      ::_exit(status);
    }
    children.push_back(child);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "a program failed to write its settings";
  }
  ::umask(previousMask);

  IniSettings reread(file);
  for (int program = 0; program < programs; ++program) {
    for (int value = 0; value < valuesEach; ++value) {
      EXPECT_EQ(reread.read("Software\\Vantrell\\Program " + std::to_string(program),
                            "Value " + std::to_string(value)),
                std::to_string(program * 100 + value))
          << "program " << program << " value " << value;
    }
  }
  const auto current = reread.read("Software\\Vantrell", "Current Practice");
  ASSERT_TRUE(current.has_value());
  EXPECT_EQ(current->rfind("/data/practice", 0), 0u);
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(file.parent_path()), 0700u);
  // Nothing but the file and its lock is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
    EXPECT_TRUE(entry.path() == file || entry.path().string() == file.string() + ".lock")
        << entry.path();
  std::filesystem::remove_all(directory);
}

// Writing the value a file already holds leaves the file untouched, so opening
// the same practice again does not rewrite it.
TEST(IniSettings, AnUnchangedValueDoesNotRewriteTheFile) {
  const auto directory = std::filesystem::temp_directory_path() /
                         ("vantrell-settings-same-" + std::to_string(::getpid()));
  std::filesystem::remove_all(directory);
  const auto file = directory / "settings.ini";
  IniSettings settings(file);
  settings.write("Software\\Vantrell", "Current Practice", "/data/clinic");
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  settings.write("Software\\Vantrell", "Current Practice", "/data/clinic");
  settings.remove("Software\\Vantrell", "Root Data Path");
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was replaced";
  settings.write("Software\\Vantrell", "Current Practice", "/data/other");
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace vantrell::ui
