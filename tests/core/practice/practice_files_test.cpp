#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "practice/practice_creation.hpp"
#include "practice/practice_opening.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/table.hpp"
#include "support/practice_fixture.hpp"

namespace vantrell::practice {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::Workstation;

mode_t modeOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return 01000000;  // shows as a mismatch naming the file
  return status.st_mode & 07777;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  return names;
}

class UmaskForTheTest {
 public:
  explicit UmaskForTheTest(mode_t mask) : previous_(::umask(mask)) {}
  ~UmaskForTheTest() { ::umask(previous_); }

 private:
  mode_t previous_;
};

class PracticeFiles : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    workstation_ = std::make_unique<Workstation>(engine());
  }
  void TearDown() override {
    if (engine() != store::Engine::Server || !space_) return;
    try {
      auto connection = space_->connect("cleanup");
      for (const auto& schema : serverSchemas_)
        connection->driver().executeScript("DROP SCHEMA IF EXISTS \"" + schema + "\" CASCADE");
    } catch (const std::exception&) {
    }
  }
  // A place on the engine that does not exist yet.
  std::string newPlace(const std::string& name) {
    if (engine() == store::Engine::Embedded)
      return (std::filesystem::path(space_->location().path) / name).string();
    serverSchemas_.push_back(space_->location().path + "_" + name);
    return serverSchemas_.back();
  }

  std::unique_ptr<Workstation> workstation_;
  std::vector<std::string> serverSchemas_;
};

// Patient data is for the practice's staff: folders 0770 and files 0660 (the
// folder's group), the improper-shut-down log as well; whatever umask the
// program was started with.
TEST_P(PracticeFiles, PracticeFoldersAndFilesAreTheGroupsOnlyWhateverTheUmask) {
  for (const mode_t mask : {mode_t{022}, mode_t{0}}) {
    SCOPED_TRACE("umask " + std::to_string(mask));
    UmaskForTheTest umask(mask);
    const std::string suffix = mask == 0 ? "open" : "usual";
    const std::string rootPath = newPlace("root_" + suffix);
    const std::string practicePath =
        engine() == store::Engine::Embedded
            ? (std::filesystem::path(space_->location().path) / ("practices_" + suffix) / "clinic")
                  .string()
            : newPlace("clinic_" + suffix);
    // The last run died: this run's first open logs it in the practice.
    const auto marker = workstation_->surroundings.places.startupMarker();
    std::filesystem::create_directories(marker.parent_path());
    std::ofstream(marker) << "left over\n";

    app::Application application(workstation_->surroundings);
    app::StartupOptions options;
    options.engine = engine();
    options.rootDirectory = rootPath;
    options.createRootWithoutAsking = true;
    options.openLastPractice = false;
    ASSERT_EQ(application.startUp(options), app::StartupOutcome::NoPractice);
    ASSERT_EQ(application.newPractice("Clinic", practicePath), OpenOutcome::Opened);
    const store::DataLocation location{engine(), practicePath};
    const auto log = improperShutDownLog(location, workstation_->surroundings.places);
    ASSERT_TRUE(std::filesystem::exists(log));

    if (engine() == store::Engine::Server) {
      // A server practice keeps the log in the person's own state folder.
      EXPECT_EQ(modeOf(log), 0600u);
      continue;
    }
    // A write, so the engine's journal files are there while the practice is open.
    application.practice()->connection->executeSql("UPDATE QVOPT SET \"Data Version Number\" = 19");
    const std::filesystem::path practice(practicePath);
    const std::filesystem::path root(rootPath);
    for (const auto& folder : {root, practice, practice.parent_path()})
      EXPECT_EQ(modeOf(folder), 0770u) << folder;
    for (const char* name :
         {"qvddf.add", "qvddf.add-wal", "qvddf.add-shm", "qvlocks.lok", "qvclose.cp"})
      EXPECT_EQ(modeOf(practice / name), 0660u) << name;
    // Maintenance takes the practice only when no workstation has it open.
    application.closePractice();
    const auto lock = store::ExclusiveOperationLock::take(location, "Backing up.");
    for (const char* name : {"_LpLock.lok", "_LpLockM.lok"})
      EXPECT_EQ(modeOf(practice / name), 0660u) << name;
    for (const char* name : {"qvddf.add", "qvlocks.lok"})
      EXPECT_EQ(modeOf(root / name), 0660u) << "root " << name;
    // Nothing in either folder is readable by other accounts.
    for (const auto& folder : {root, practice})
      for (const auto& name : namesIn(folder)) EXPECT_EQ(modeOf(folder / name) & 07u, 0u) << name;
  }
}

// A staff group shares a practice through a setgid folder: new folders in it
// keep the bit, so the group passes on to everything made inside.
TEST_P(PracticeFiles, ANewPracticeInASharedFolderKeepsItsGroupBit) {
  if (engine() != store::Engine::Embedded)
    GTEST_SKIP() << "folders exist only for embedded practices";
  UmaskForTheTest umask(022);
  const std::filesystem::path shared = std::filesystem::path(space_->location().path) / "shared";
  std::filesystem::create_directories(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 02770), 0);
  auto root = workstation_->connectRoot();
  PracticeOpener opener(workstation_->surroundings, *root);
  PracticeCreation creation(workstation_->surroundings, *root, workstation_->rootSpace.location());
  ASSERT_EQ(creation.createPractice("Clinic", (shared / "clinic").string(), false, opener),
            OpenOutcome::Opened);
  EXPECT_EQ(modeOf(shared / "clinic"), 02770u);
  EXPECT_EQ(modeOf(shared / "clinic" / "qvddf.add"), 0660u);
}

// Opening is not creating: a place without a practice is refused with the
// system's message and keeps nothing from the attempt.
TEST_P(PracticeFiles, OpeningAPlaceWithoutAPracticeRefusesAndWritesNothing) {
  auto root = workstation_->connectRoot();
  PracticeOpener opener(workstation_->surroundings, *root);
  auto& prompter = workstation_->prompter;
  const std::string path = newPlace("nothing_here");
  if (engine() == store::Engine::Embedded) {
    std::filesystem::create_directories(path);
    std::ofstream(std::filesystem::path(path) / "letter.txt") << "Dear patient\n";
  }
  EXPECT_EQ(opener.open({engine(), path}), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().back(),
            "error: This data doesn't exist, select a different set of data.");
  EXPECT_EQ(workstation_->settings.read(settingsKey, currentPracticeValue), std::nullopt);
  if (engine() == store::Engine::Embedded) {
    EXPECT_EQ(namesIn(path), std::vector<std::string>{"letter.txt"});
  } else {
    EXPECT_TRUE(store::Connection::tablesAt({engine(), path}).empty());
  }
}

// A name or path the practice list cannot hold is refused, naming the value,
// before anything is made; the widest name that fits still makes a practice.
TEST_P(PracticeFiles, NewPracticeChecksTheListsWidthsBeforeMakingAnything) {
  auto root = workstation_->connectRoot();
  PracticeOpener opener(workstation_->surroundings, *root);
  PracticeCreation creation(workstation_->surroundings, *root, workstation_->rootSpace.location());
  auto& prompter = workstation_->prompter;
  const std::string tooLongName(36, 'N');
  const std::string path = newPlace("widths");
  EXPECT_EQ(creation.createPractice(tooLongName, path, false, opener), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().back(),
            "error: The value \"" + tooLongName +
                "\" is too long for the field DataSet Name (35 characters at most).");
  std::string longPath = path + "_";
  while (longPath.size() <= 128) longPath += "x";
  EXPECT_EQ(creation.createPractice("Clinic", longPath, false, opener), OpenOutcome::NotOpened);
  EXPECT_EQ(prompter.transcript().back(),
            "error: The value \"" + longPath +
                "\" is too long for the field Data Path (128 characters at most).");
  if (engine() == store::Engine::Server) serverSchemas_.push_back(longPath);
  for (const auto& place : {path, longPath}) {
    if (engine() == store::Engine::Embedded) {
      EXPECT_FALSE(std::filesystem::exists(place)) << place;
    } else {
      EXPECT_TRUE(store::Connection::tablesAt({engine(), place}).empty()) << place;
    }
  }
  EXPECT_TRUE(PracticeList(*root).entries().empty());

  const std::string widest(35, 'W');
  ASSERT_EQ(creation.createPractice(widest, path, false, opener), OpenOutcome::Opened);
  EXPECT_EQ(opener.takeOpened()->caption, "QelVantrell Advanced - " + widest);
}

VANTRELL_ON_BOTH_ENGINES(PracticeFiles);

}  // namespace
}  // namespace vantrell::practice
