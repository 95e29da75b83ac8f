#pragma once

#include <filesystem>
#include <memory>

#include "practice/practice_opening.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"
#include "ui/launcher.hpp"

namespace vantrell::testing {

// A workstation for the practice tests: a scripted person, settings in memory,
// the real companion programs of this build, a fixed clock, and a state
// directory of its own for the start-up marker.
class Workstation {
 public:
  explicit Workstation(store::Engine engine);
  ~Workstation();

  ScriptedPrompter prompter{};
  ui::MemorySettings settings;
  ui::ProcessLauncher launcher;
  ui::FixedClock clock;
  practice::Surroundings surroundings;
  store::Engine engine;

  // A root data directory (practice list, users in the program) on the engine.
  PracticeSpace rootSpace;
  std::unique_ptr<store::Connection> connectRoot();
};

}  // namespace vantrell::testing
