#include "support/store_fixture.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>

#include "store/driver.hpp"

namespace vantrell::testing {
namespace {

std::string uniqueName() {
  static std::atomic<int> counter{0};
  std::random_device random;
  return "t" + std::to_string(::getpid()) + "_" + std::to_string(random() % 100000) + "_" +
         std::to_string(counter++);
}

}  // namespace

PracticeSpace::PracticeSpace(store::Engine engine) : engine_(engine) {
  if (engine == store::Engine::Embedded) {
    directory_ = std::filesystem::temp_directory_path() / ("vantrell-" + uniqueName());
    std::filesystem::create_directories(directory_);
    path_ = directory_.string();
  } else {
    path_ = uniqueName();
  }
}

PracticeSpace::~PracticeSpace() {
  if (engine_ == store::Engine::Embedded) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    return;
  }
  try {
    auto connection = connect("cleanup");
    connection->driver().executeScript("DROP SCHEMA IF EXISTS \"" + path_ + "\" CASCADE");
  } catch (const std::exception&) {
    // A schema left behind dies with the throwaway server.
  }
}

std::unique_ptr<store::Connection> PracticeSpace::connect(const std::string& owner,
                                                          const ui::Clock* clock) const {
  return store::Connection::open(location(), {owner, clock, true});
}

void EngineTest::SetUp() {
  if (GetParam() == store::Engine::Server) {
    const char* server = std::getenv("VANTRELL_TEST_SERVER");
    if (server == nullptr || *server == '\0') {
      if (std::getenv("VANTRELL_TEST_EMBEDDED_ONLY") != nullptr) GTEST_SKIP() << "no test server";
      FAIL() << "VANTRELL_TEST_SERVER is not set: run the tests through ./scripts/test";
    }
    ::setenv("VANTRELL_SERVER", server, 1);
  }
  space_ = std::make_unique<PracticeSpace>(GetParam());
}

std::string engineName(const ::testing::TestParamInfo<store::Engine>& info) {
  return info.param == store::Engine::Embedded ? "SQLite" : "PostgreSQL";
}

}  // namespace vantrell::testing
