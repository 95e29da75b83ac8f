#include "support/practice_fixture.hpp"

#include <unistd.h>

#include "store/table_creation.hpp"

namespace vantrell::testing {
namespace {

std::filesystem::path newStateDirectory() {
  static int counter = 0;
  return std::filesystem::temp_directory_path() /
         ("vantrell-state-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
}

}  // namespace

Workstation::Workstation(store::Engine engineUnderTest)
    : launcher(VANTRELL_BIN_DIR),
      clock(*DateTime::parse("2026-12-05 09:00:00")),
      surroundings{prompter, settings, launcher, clock, practice::ProgramPlaces{newStateDirectory()}, "MARY"},
      engine(engineUnderTest),
      rootSpace(engineUnderTest) {
  // The backup program started by a test keeps its folder and choices in here,
  // not in the home of whoever runs the tests.
  ::setenv("XDG_DATA_HOME", (surroundings.places.stateDirectory / "data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (surroundings.places.stateDirectory / "config").c_str(), 1);
}

Workstation::~Workstation() {
  std::error_code ignored;
  std::filesystem::remove_all(surroundings.places.stateDirectory, ignored);
}

std::unique_ptr<store::Connection> Workstation::connectRoot() {
  auto root = rootSpace.connect("MARY", &clock);
  store::ensureTable(*root, "QVDBLIST");
  store::ensureTable(*root, "QVUSR");
  return root;
}

}  // namespace vantrell::testing
