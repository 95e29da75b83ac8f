#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "store/connection.hpp"
#include "ui/clock.hpp"

namespace vantrell::testing {

// A fresh, empty place for a practice on the engine under test: a temporary
// directory, or a schema of its own on the throwaway test server (named by
// VANTRELL_TEST_SERVER). Removed again when the test ends.
class PracticeSpace {
 public:
  explicit PracticeSpace(store::Engine engine);
  ~PracticeSpace();
  PracticeSpace(const PracticeSpace&) = delete;
  PracticeSpace& operator=(const PracticeSpace&) = delete;

  store::DataLocation location() const { return {engine_, path_}; }
  // A new session on the practice; each one is a separate workstation.
  std::unique_ptr<store::Connection> connect(const std::string& owner = "tester",
                                             const ui::Clock* clock = nullptr) const;

 private:
  store::Engine engine_;
  std::string path_;
  std::filesystem::path directory_;
};

// Runs a test once on the embedded engine and once on the server.
class EngineTest : public ::testing::TestWithParam<store::Engine> {
 protected:
  void SetUp() override;
  store::Engine engine() const { return GetParam(); }
  std::unique_ptr<PracticeSpace> space_;
};

std::string engineName(const ::testing::TestParamInfo<store::Engine>& info);

// The server notices a session that ended (closed or killed) a moment later:
// asks again for up to five seconds while the answer still holds a value.
template <typename Ask>
auto untilEmpty(Ask ask) {
  auto answer = ask();
  for (int attempt = 0; answer && attempt < 50; ++attempt) {
    ::usleep(100000);
    answer = ask();
  }
  return answer;
}

#define VANTRELL_ON_BOTH_ENGINES(Suite)                                                       \
  INSTANTIATE_TEST_SUITE_P(Engines, Suite,                                                    \
                           ::testing::Values(store::Engine::Embedded, store::Engine::Server), \
                           ::vantrell::testing::engineName)

}  // namespace vantrell::testing
