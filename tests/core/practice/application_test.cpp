#include <gtest/gtest.h>

#include "app/application.hpp"
#include "store/table.hpp"
#include "support/practice_fixture.hpp"

namespace vantrell::app {
namespace {

using practice::OpenOutcome;
using vantrell::testing::EngineTest;
using vantrell::testing::Workstation;

class Startup : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    workstation_ = std::make_unique<Workstation>(engine());
    // A root data directory that does not exist yet.
    rootPath_ = engine() == store::Engine::Embedded
                    ? (std::filesystem::path(space_->location().path) / "Data").string()
                    : space_->location().path + "_root";
  }
  void TearDown() override {
    if (engine() != store::Engine::Server || !space_) return;
    try {
      auto connection = space_->connect("cleanup");
      for (const auto& schema : {rootPath_, rootPath_ + "_tutor"})
        connection->driver().executeScript("DROP SCHEMA IF EXISTS \"" + schema + "\" CASCADE");
    } catch (const std::exception&) {
    }
  }
  StartupOptions options() const {
    StartupOptions result;
    result.engine = engine();
    return result;
  }

  std::unique_ptr<Workstation> workstation_;
  std::string rootPath_;
};

TEST_P(Startup, AFirstStartMakesTheRootAndOpensTheTutorialThenTheLastPracticeOpens) {
  auto& prompter = workstation_->prompter;
  prompter = vantrell::testing::ScriptedPrompter{true};  // yes, make a new root data directory
  prompter.scriptText(rootPath_);
  {
    Application application(workstation_->surroundings);
    ASSERT_EQ(application.startUp(options()), StartupOutcome::PracticeOpen);
    EXPECT_EQ(prompter.transcript()[0],
              "text: Cannot connect to the QelVantrell data directory.  Enter the QelVantrell "
              "data directory.");
    EXPECT_EQ(
        prompter.transcript()[1],
        "ask: This is not an existing root data directory.  Do you want to create a new one?");
    EXPECT_EQ(application.practice()->caption, "QelVantrell Advanced - Medical Group (Tutorial Data)");
    EXPECT_EQ(application.practice()->connection->openTable("QVPRO").count(), 43);
    EXPECT_EQ(workstation_->settings.read(practice::settingsKey, practice::rootDataPathValue), rootPath_);
    EXPECT_TRUE(std::filesystem::exists(workstation_->surroundings.places.startupMarker()));

    // The backup reminder: Cancel stays; Back Up runs the backup program and,
    // when it ends well, the program exits.
    prompter.scriptChoice(2);
    EXPECT_FALSE(application.shutDown());
    prompter.scriptChoice(0);
    EXPECT_TRUE(application.shutDown());
    EXPECT_EQ(prompter.transcript().back(), "choose: Backup Reminder [&Back Up Data Now] [E&xit Program] [Cancel]");
    const auto backups =
        workstation_->surroundings.places.stateDirectory / "data" / "vantrell" / "Backups";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(backups),
                            std::filesystem::directory_iterator{}),
              1);
    EXPECT_FALSE(std::filesystem::exists(workstation_->surroundings.places.startupMarker()));
  }
  {
    // The next start opens the practice opened last, without a question.
    prompter = vantrell::testing::ScriptedPrompter{};
    Application application(workstation_->surroundings);
    ASSERT_EQ(application.startUp(options()), StartupOutcome::PracticeOpen);
    EXPECT_TRUE(prompter.transcript().empty());
    // The tutorial again: its data is there, and No keeps it.
    prompter = vantrell::testing::ScriptedPrompter{false};
    ASSERT_EQ(application.installTutorial(), OpenOutcome::Opened);
    EXPECT_EQ(prompter.transcript().front(), "ask: Tutorial data files already exist.  Do you want to overwrite them?");
    EXPECT_EQ(application.practiceList().entries().size(), 1u);
  }
  {
    // F8: forget the last practice; with practices on the list, the list opens.
    prompter = vantrell::testing::ScriptedPrompter{};
    StartupOptions f8 = options();
    f8.resetPractice = true;
    Application application(workstation_->surroundings);
    EXPECT_EQ(application.startUp(f8), StartupOutcome::ShowPracticeList);
    EXPECT_EQ(application.practice(), nullptr);
    // The list's OK takes only a place that holds a practice.
    EXPECT_EQ(application.openFromList({"Nothing", rootPath_}), OpenOutcome::NotOpened);
    EXPECT_EQ(prompter.transcript().back(), "error: This data doesn't exist, select a different set of data.");
    const auto tutorial = application.practiceList().entries().front();
    EXPECT_EQ(application.openFromList(tutorial), OpenOutcome::Opened);
    prompter = vantrell::testing::ScriptedPrompter{false, true};
    EXPECT_FALSE(application.removeFromList(tutorial));
    EXPECT_TRUE(application.removeFromList(tutorial));
    EXPECT_TRUE(application.practiceList().entries().empty());
  }
  {
    // F7: the root data directory is asked for again; cancelling quits.
    prompter = vantrell::testing::ScriptedPrompter{};
    prompter.scriptText(std::nullopt);
    StartupOptions f7 = options();
    f7.resetRoot = true;
    Application application(workstation_->surroundings);
    EXPECT_EQ(application.startUp(f7), StartupOutcome::Quit);
    EXPECT_EQ(workstation_->settings.read(practice::settingsKey, practice::rootDataPathValue), std::nullopt);
  }
}

VANTRELL_ON_BOTH_ENGINES(Startup);

TEST(StartupFailure, AnUnreachableServerOffersRetryChangeAndCancel) {
  ::setenv("VANTRELL_SERVER", "host=127.0.0.1 port=1 connect_timeout=2", 1);
  Workstation workstation(store::Engine::Embedded);
  workstation.settings.write(practice::settingsKey, practice::rootDataPathValue, "vantrell_root");
  workstation.prompter.scriptChoice(3);  // Details
  workstation.prompter.scriptChoice(2);  // Cancel
  Application application(workstation.surroundings);
  StartupOptions options;
  options.engine = store::Engine::Server;
  EXPECT_EQ(application.startUp(options), StartupOutcome::Quit);
  const auto& lines = workstation.prompter.transcript();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("choose: Data files not found\nData is not found.", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("inform: server: vantrell_root: ", 0), 0u) << lines[1];
}

}  // namespace
}  // namespace vantrell::app
