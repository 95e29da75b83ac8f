#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::PracticeSpace;

std::size_t openDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// A practice directory made by a first session that has closed again.
std::filesystem::path practiceDictionary(const PracticeSpace& space) {
  auto connection = space.connect();
  ensureTable(*connection, "QVPAT");
  return std::filesystem::path(space.location().path) / "qvddf.add";
}

// The embedded engine's files: what an administrator meets when a practice's
// database file is damaged or may not be written, named with the file and
// what to do, and no engine handle left behind.
TEST(EmbeddedPracticeFiles, ADamagedDictionaryIsNamedAndLeavesNothingOpen) {
  PracticeSpace space(Engine::Embedded);
  const auto dictionary = practiceDictionary(space);
  {
    std::ofstream garbage(dictionary, std::ios::trunc | std::ios::binary);
    for (int i = 0; i < 200; ++i) garbage << "This is no database, only words written over it. ";
  }
  const std::string expected =
      "The file " + dictionary.string() +
      " is not a practice database or is damaged.  Restore it from a backup.";
  const std::size_t before = openDescriptors();
  for (int attempt = 0; attempt < 5; ++attempt) {
    try {
      Connection::open(space.location(), {"tester", nullptr, false});
      ADD_FAILURE() << "a damaged file was opened";
    } catch (const StoreError& error) {
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
  // Each refused open closed the file again.
  EXPECT_EQ(openDescriptors(), before);
}

TEST(EmbeddedPracticeFiles, ADictionaryThisUserMayNotWriteIsRefusedWithTheSystemsText) {
  PracticeSpace space(Engine::Embedded);
  const auto dictionary = practiceDictionary(space);
  const auto directory = dictionary.parent_path();
  // The directory stays writable (the lock file and the engine's side files
  // may be made); only the database file is read only.
  ASSERT_EQ(::chmod(directory.c_str(), 0777), 0);
  ASSERT_EQ(::chmod((directory / "qvlocks.lok").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dictionary.c_str(), 0444), 0);
  const std::string expected = "You do not have rights to " + dictionary.string() + ".";
  // The administrator (root) may write any file whatever its mode: the check
  // runs in a process of its own as an ordinary user, as the person at the
  // workstation would be.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    try {
      Connection::open(space.location(), {"tester", nullptr, false});
      std::fprintf(stderr, "a read-only file was opened for writing\n");
      ::_exit(1);
    } catch (const RightsError& error) {
      if (std::string(error.what()) == expected) ::_exit(0);
      std::fprintf(stderr, "%s\n", error.what());
    } catch (const std::exception& error) {
      std::fprintf(stderr, "not a rights error: %s\n", error.what());
    }
    ::_exit(2);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3)
    GTEST_SKIP() << "running as root without the right to become an ordinary user";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ::chmod(dictionary.c_str(), 0644);
}

}  // namespace
}  // namespace vantrell::store
