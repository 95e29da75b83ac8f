#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "practice/practice_creation.hpp"
#include "practice/practice_opening.hpp"
#include "store/errors.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/other_process.hpp"
#include "support/practice_fixture.hpp"

namespace vantrell::practice {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::Workstation;

// Another process holds the practice's exclusive-operation lock until it is killed.
class LockHolder : public vantrell::testing::OtherProcess {
 public:
  LockHolder(const store::DataLocation& location, const std::string& message)
      : OtherProcess([&](const HoldUntilKilled& hold) {
          auto lock = store::ExclusiveOperationLock::take(location, message);
          hold();
        }) {}
  bool taken() const { return ready(); }
};

class PracticeOpening : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    workstation_ = std::make_unique<Workstation>(engine());
    root_ = workstation_->connectRoot();
  }

  // A practice of the current layout, on the list under the given name.
  store::DataLocation makePractice(const std::string& name) {
    {
      auto practice = space_->connect();
      store::createMissingTables(*practice, nullptr);
    }
    PracticeList(*root_).add({name, space_->location().path});
    return space_->location();
  }

  std::unique_ptr<Workstation> workstation_;
  std::unique_ptr<store::Connection> root_;
};

TEST_P(PracticeOpening, TheExclusiveLockRefusesWhileHeldAndIsClearedWhenItsHolderDies) {
  const auto location = makePractice("Clinic");
  PracticeOpener opener(workstation_->surroundings, *root_);
  {
    LockHolder holder(location, PracticeOpener::conversionLockMessage);
    ASSERT_TRUE(holder.taken());
    EXPECT_EQ(opener.open(location), OpenOutcome::NotOpened);
    EXPECT_EQ(workstation_->prompter.transcript().back(),
              "error: Autoconversion in progress.  Cannot open data.");
    holder.kill();
    EXPECT_EQ(vantrell::testing::untilEmpty(
                  [&] { return store::ExclusiveOperationLock::busyMessage(location); }),
              std::nullopt);
  }
  if (engine() == store::Engine::Embedded) {
    // The files a crashed holder left are gone after the check.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(location.path) / "_LpLock.lok"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(location.path) / "_LpLockM.lok"));
    // A live holder whose message file is missing: the system's default text.
    LockHolder holder(location, "");
    std::filesystem::remove(std::filesystem::path(location.path) / "_LpLockM.lok");
    EXPECT_EQ(store::ExclusiveOperationLock::busyMessage(location), "Data set is in use.");
  }
  EXPECT_EQ(opener.open(location), OpenOutcome::Opened);
  EXPECT_EQ(opener.takeOpened()->caption, "QelVantrell Advanced - Clinic");
  EXPECT_EQ(workstation_->settings.read(settingsKey, currentPracticeValue), location.path);
}

// Workstations that open a practice at the same moment never refuse each
// other; only an exclusive operation keeps them out, and it waits for the
// practice to be free.
TEST_P(PracticeOpening, SimultaneousOpensNeverRefuseEachOtherButAConversionKeepsThemOut) {
  const auto location = makePractice("Clinic");
  const auto lockFile =
      std::filesystem::path(location.path) / store::ExclusiveOperationLock::lockFileName;
  constexpr int rounds = 20;
  constexpr int opensPerRound = 4;
  int refusals = 0;
  for (int round = 0; round < rounds; ++round) {
    // Lock files a crashed conversion left behind make each check look harder.
    if (engine() == store::Engine::Embedded) std::ofstream(lockFile) << "";
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int workstation = 0; workstation < 2; ++workstation) {
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(start[1]);
        int refused = 0;
        try {
          auto root = workstation_->connectRoot();
          PracticeOpener opener(workstation_->surroundings, *root);
          char go = 0;
          if (::read(start[0], &go, 1) != 1) ::_exit(100);
          for (int open = 0; open < opensPerRound; ++open) {
            if (opener.open(location) != OpenOutcome::Opened) {
              ++refused;
              std::fprintf(stderr, "refused: %s\n",
                           workstation_->prompter.transcript().back().c_str());
            }
            opener.takeOpened();
          }
        } catch (const std::exception& error) {
          std::fprintf(stderr, "workstation %d: %s\n", workstation, error.what());
          ::_exit(100);
        }
        ::_exit(refused);
      }
      children.push_back(child);
    }
    ::close(start[0]);
    const char go[2] = {'G', 'G'};
    ASSERT_EQ(::write(start[1], go, 2), 2);
    ::close(start[1]);
    for (const pid_t child : children) {
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 100);
      refusals += WEXITSTATUS(status);
    }
  }
  EXPECT_EQ(refusals, 0) << "of " << rounds * opensPerRound * 2 << " opens";

  // An open practice keeps a conversion from starting under it; a running
  // conversion keeps the practice shut with its message.
  PracticeOpener opener(workstation_->surroundings, *root_);
  ASSERT_EQ(opener.open(location), OpenOutcome::Opened);
  auto opened = opener.takeOpened();
  try {
    store::ExclusiveOperationLock::take(location, PracticeOpener::conversionLockMessage);
    ADD_FAILURE() << "a conversion started while the practice was open";
  } catch (const store::RecordInUseError& busy) {
    ASSERT_TRUE(busy.owner().has_value());
    EXPECT_EQ(busy.owner()->display(), "Data set is in use.");
  }
  opened.reset();
  {
    const auto conversion =
        store::ExclusiveOperationLock::take(location, PracticeOpener::conversionLockMessage);
    EXPECT_EQ(opener.open(location), OpenOutcome::NotOpened);
    EXPECT_EQ(workstation_->prompter.transcript().back(),
              "error: Autoconversion in progress.  Cannot open data.");
  }
  EXPECT_EQ(opener.open(location), OpenOutcome::Opened);
}

TEST_P(PracticeOpening, PatientsWithoutOptionsGetEveryTableAndTheDefaultOptions) {
  {
    auto practice = space_->connect();
    store::ensureTable(*practice, "QVPAT");
  }
  PracticeOpener opener(workstation_->surroundings, *root_);
  ASSERT_EQ(opener.open(space_->location()), OpenOutcome::Opened);
  auto opened = opener.takeOpened();
  EXPECT_TRUE(opened->connection->tableExists("QVTRN"));
  EXPECT_EQ(opened->options.number("Data Version Number"), 19);
  EXPECT_EQ(opened->connection->openTable("QVOPT").count(), 1);
  // No row on the list for this path.
  EXPECT_EQ(opened->caption, "QelVantrell Advanced - Data Set Name has been removed.");
  EXPECT_TRUE(workstation_->prompter.transcript().empty());
}

TEST_P(PracticeOpening, OldDataIsConvertedAfterTheWarningOrTheProgramQuits) {
  const auto location = makePractice("Old Clinic");
  // An options table of an older layout: fewer fields, version 18.
  {
    auto practice = space_->connect();
    practice->executeSql("DROP TABLE QVOPT");
    practice->executeSql(
        "CREATE TABLE QVOPT (\"Remind to Backup on Close\" Logical, \"Data Version Number\" "
        "Integer) IN DATABASE");
    practice->executeSql(
        "INSERT INTO QVOPT (\"Remind to Backup on Close\", \"Data Version Number\") VALUES (TRUE, "
        "18)");
  }
  PracticeOpener opener(workstation_->surroundings, *root_);
  auto& prompter = workstation_->prompter;
  prompter.scriptChoice(2);  // Cancel
  EXPECT_EQ(opener.open(location), OpenOutcome::QuitProgram);
  EXPECT_NE(prompter.transcript().back().find("This data must be upgraded"), std::string::npos);

  prompter.scriptChoice(1);  // Backup Data Now: the backup program runs, the window comes back
  prompter.scriptChoice(0);  // Continue w/o Backup
  ASSERT_EQ(opener.open(location), OpenOutcome::Opened);
  auto opened = opener.takeOpened();
  EXPECT_EQ(opened->options.number("Data Version Number"), 19);
  EXPECT_TRUE(opened->options.flag("Remind to Backup on Close"));  // kept through the conversion
  EXPECT_EQ(opened->options.number("Ins Aging Column 4"), 120);
  // The backup was made, before the conversion, in the person's backup folder.
  const auto backups =
      workstation_->surroundings.places.stateDirectory / "data" / "vantrell" / "Backups";
  ASSERT_TRUE(std::filesystem::is_directory(backups));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(backups),
                          std::filesystem::directory_iterator{}),
            1);
  EXPECT_EQ(store::ExclusiveOperationLock::busyMessage(location), std::nullopt);

  // Version 1 data is refused outright.
  opened.reset();
  {
    auto practice = space_->connect();
    practice->executeSql("UPDATE QVOPT SET \"Data Version Number\" = 1");
  }
  EXPECT_EQ(opener.open(location), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().back(), "error: This data is not compatible with this program.");
}

TEST_P(PracticeOpening, AConversionThatCannotRunEndsTheProgram) {
  const auto location = makePractice("Old Clinic");
  {
    auto practice = space_->connect();
    store::Table options = practice->openTable("QVOPT");
    store::Record row = options.newRecord();
    row.set("Data Version Number", std::int64_t{18});
    options.append(row);
  }
  ui::ProcessLauncher nowhere("/nonexistent");
  Surroundings surroundings = workstation_->surroundings;
  Surroundings withoutPrograms{
      surroundings.prompter, surroundings.settings, nowhere,
      surroundings.clock,    surroundings.places,   surroundings.ownerName};
  PracticeOpener opener(withoutPrograms, *root_);
  workstation_->prompter.scriptChoice(0);
  EXPECT_EQ(opener.open(location), OpenOutcome::QuitProgram);
  EXPECT_EQ(workstation_->prompter.transcript().back(),
            "error: The conversion process did not complete successfully");
}

TEST_P(PracticeOpening, TheStartupMarkerCatchesAnImproperShutDown) {
  const auto location = makePractice("Clinic");
  PracticeOpener opener(workstation_->surroundings, *root_, true);
  const auto marker = workstation_->surroundings.places.startupMarker();
  ASSERT_EQ(opener.open(location), OpenOutcome::Opened);
  std::ifstream written(marker);
  std::string line;
  std::getline(written, line);
  EXPECT_EQ(line,
            "This file is created upon startup of QelVantrell and deleted upon proper shut down of "
            "the program.");
  EXPECT_TRUE(workstation_->prompter.transcript().empty());

  // The program died: the next start finds the marker.
  PracticeOpener nextStart(workstation_->surroundings, *root_, true);
  ASSERT_EQ(nextStart.open(location), OpenOutcome::Opened);
  EXPECT_EQ(workstation_->prompter.transcript().back().rfind("warn: *** WARNING *** WARNING", 0),
            0u);
  std::ifstream log(improperShutDownLog(location, workstation_->surroundings.places));
  std::getline(log, line);
  EXPECT_EQ(line, "2026-12-05 09:00:00");
}

TEST_P(PracticeOpening, NewPracticeChecksItsFieldsAndOpensExistingDataOnlyWhenAsked) {
  PracticeOpener opener(workstation_->surroundings, *root_);
  PracticeCreation creation(workstation_->surroundings, *root_, workstation_->rootSpace.location());
  auto& prompter = workstation_->prompter;
  const std::string path = space_->location().path;
  struct Row {
    std::string name, path, message;
  };
  for (const Row& row : {Row{"", path, "A practice name must be entered before creating new data"},
                         Row{"Clinic", " ", "A data path must be entered before creating new data"},
                         Row{"tutor", path, "Invalid Practice Name"}}) {
    EXPECT_EQ(creation.createPractice(row.name, row.path, false, opener), OpenOutcome::NotOpened);
    EXPECT_EQ(prompter.transcript().back(), "error: " + row.message);
  }
  EXPECT_EQ(creation.createPractice("Clinic", path, true, opener), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().back(),
            "error: " + std::string(PracticeCreation::unsavedRefusal));

  ASSERT_EQ(creation.createPractice("Clinic", path, false, opener), OpenOutcome::Opened);
  EXPECT_EQ(opener.takeOpened()->caption, "QelVantrell Advanced - Clinic");
  EXPECT_EQ(PracticeList(*root_).entries(), (std::vector<PracticeEntry>{{"Clinic", path}}));

  // The same place again: the data there is opened only on Yes.
  prompter = vantrell::testing::ScriptedPrompter{false, true};
  EXPECT_EQ(creation.createPractice("Second", path, false, opener), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().front(), "ask: " + PracticeCreation::existingDataQuestion(path));
  EXPECT_EQ(prompter.transcript().back(), "error: " + std::string(PracticeCreation::couldNotOpen));
  EXPECT_EQ(creation.createPractice("Second", path, false, opener), OpenOutcome::Opened);
  EXPECT_EQ(PracticeList(*root_).entries().size(), 2u);

  // Two names for one directory: removing one keeps the other.
  EXPECT_EQ(PracticeList(*root_).remove({"Second", path}), 1);
  EXPECT_EQ(PracticeList(*root_).entries(), (std::vector<PracticeEntry>{{"Clinic", path}}));
  EXPECT_EQ(PracticeList::hint({"Clinic", path}),
            "The data for \"Clinic\" is found in directory " + path + ".");
}

TEST_P(PracticeOpening, TwoWorkstationsOpeningANewPracticeAtOnceMakeOneOptionsRow) {
  for (int round = 0; round < 3; ++round) {
    {
      auto practice = space_->connect();
      store::ensureTable(*practice, "QVOPT");
      practice->executeSql("DELETE FROM QVOPT");
    }
    std::vector<pid_t> children;
    for (int workstation = 0; workstation < 2; ++workstation) {
      const pid_t child = ::fork();
      if (child == 0) {
        try {
          auto practice = space_->connect("WS" + std::to_string(workstation));
          Options::readAtPracticeOpen(*practice);
          ::_exit(0);
        } catch (const std::exception& error) {
          std::fprintf(stderr, "workstation %d: %s\n", workstation, error.what());
          ::_exit(1);
        }
      }
      children.push_back(child);
    }
    for (const pid_t child : children) {
      int status = 0;
      ::waitpid(child, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto practice = space_->connect();
    EXPECT_EQ(practice->openTable("QVOPT").count(), 1) << "round " << round;
  }
}

VANTRELL_ON_BOTH_ENGINES(PracticeOpening);

}  // namespace
}  // namespace vantrell::practice
