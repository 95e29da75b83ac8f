#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/application.hpp"
#include "maintenance/backup_archive.hpp"
#include "maintenance/file_maintenance.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "maintenance/tutorial_data.hpp"
#include "security/login_window.hpp"
#include "security/user_accounts.hpp"
#include "store/engine_maintenance.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/table.hpp"
#include "store/value.hpp"
#include "support/other_process.hpp"
#include "support/practice_fixture.hpp"

namespace vantrell::maintenance {
namespace {

using vantrell::testing::EngineTest;

// Every row of every table as text, sorted: the practice's whole content,
// read with nothing but plain SELECTs.
std::vector<std::string> everyRow(store::Connection& practice) {
  std::vector<std::string> rows;
  for (const auto& table : practice.tableNames()) {
    const auto result = practice.executeSql("SELECT * FROM \"" + table + "\"");
    for (const auto& row : result.rows) {
      std::string line = table;
      for (const auto& value : row) line += "|" + store::valueToText(value);
      rows.push_back(line);
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// A companion program of this build, with its output; killed when it takes
// longer than the test allows.
struct Run {
  int exitCode = -1;
  std::string output;
};

class Companion {
 public:
  explicit Companion(std::vector<std::string> arguments) {
    int pipe[2];
    if (::pipe(pipe) != 0) throw std::runtime_error("pipe");
    child_ = ::fork();
    if (child_ == 0) {
      ::dup2(pipe[1], STDOUT_FILENO);
      ::dup2(pipe[1], STDERR_FILENO);
      ::close(pipe[0]);
      std::vector<char*> argv;
      for (auto& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipe[1]);
    output_ = pipe[0];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
  }
  ~Companion() {
    if (child_ > 0) kill();
    ::close(output_);
  }
  // Reads its output until `text` appears; false when it did not within 20 s.
  bool waitFor(const std::string& text) {
    for (int i = 0; i < 400 && text_.find(text) == std::string::npos; ++i) {
      read();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return text_.find(text) != std::string::npos;
  }
  void kill() {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }
  Run finish() {
    int status = 0;
    for (int i = 0; i < 1200; ++i) {
      read();
      if (::waitpid(child_, &status, WNOHANG) == child_) {
        child_ = -1;
        read();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text_};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill();
    return {-1, text_ + "\n(killed: took longer than a minute)"};
  }

 private:
  void read() {
    char block[4096];
    ssize_t got = 0;
    while ((got = ::read(output_, block, sizeof block)) > 0)
      text_.append(block, static_cast<std::size_t>(got));
  }
  pid_t child_ = -1;
  int output_ = -1;
  std::string text_;
};

std::string program(const char* name) {
  return std::string(VANTRELL_BIN_DIR) + "/" + name;
}

class Backup : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    folder_ = std::filesystem::temp_directory_path() /
              ("vantrell-backups-" + std::to_string(::getpid()) + "-" +
               std::to_string(engine() == store::Engine::Server));
    std::filesystem::create_directories(folder_ / "config");
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::vector<std::string> backupArguments(const std::string& word) const {
    std::vector<std::string> arguments = {program("vantrell-backup"), space_->location().path, word,
                                          "--folder", folder_.string()};
    if (engine() == store::Engine::Server) arguments.emplace_back("CS");
    return arguments;
  }
  std::filesystem::path folder_;
};

TEST_P(Backup, ARestoreBringsBackEveryRowAndAFailedOrKilledOneLeavesThePracticeAsItWas) {
  auto practice = space_->connect("clerk");
  installTutorialData(*practice, nullptr);
  const auto backedUp = everyRow(*practice);
  ASSERT_GT(backedUp.size(), 1000u);

  const auto backup = Companion(backupArguments("backup")).finish();
  ASSERT_EQ(backup.exitCode, 0) << backup.output;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder_))
    if (entry.is_regular_file()) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);

  // Work after the backup: an application row goes, a charge changes, a patient comes.
  practice->executeSql(
      "DELETE FROM QVPAX WHERE \"Payment Reference\" = (SELECT MIN(\"Payment Reference\") FROM "
      "QVPAX)");
  practice->executeSql(
      "UPDATE QVTRN SET \"Amount\" = 999 WHERE \"Entry Number\" = (SELECT MIN(\"Entry Number\") "
      "FROM QVTRN)");
  practice->executeSql(
      "INSERT INTO QVPAT (\"Chart Number\", \"Last Name\") VALUES ('ZZTOP000', 'Later')");
  const auto changed = everyRow(*practice);
  ASSERT_NE(changed, backedUp);
  practice.reset();

  const auto restoreFrom = [&](const std::filesystem::path& file) {
    auto arguments = backupArguments("restore");
    arguments.insert(arguments.end(), {"--file", file.string()});
    return arguments;
  };

  // One byte changed in the middle of the archive: refused, nothing touched.
  const auto damaged = folder_ / "damaged.tar.zst";
  std::filesystem::copy_file(files[0], damaged);
  {
    std::fstream bytes(damaged, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekg(static_cast<std::streamoff>(std::filesystem::file_size(damaged) / 2));
    const char original = static_cast<char>(bytes.peek());
    bytes.seekp(static_cast<std::streamoff>(std::filesystem::file_size(damaged) / 2));
    bytes.put(static_cast<char>(original ^ 0x5a));
  }
  const auto refused = Companion(restoreFrom(damaged)).finish();
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("is damaged and cannot be restored"), std::string::npos)
      << refused.output;
  EXPECT_EQ(everyRow(*space_->connect()), changed);

  {
    // A restore killed as it replaces the practice's data: another session
    // keeps it waiting there (a write in progress on the embedded engine, a
    // reader of a table on the server) until the kill.
    auto holder = space_->connect("holder");
    holder->begin();
    holder->executeSql(
        engine() == store::Engine::Embedded
            ? "UPDATE QVPAT SET \"Last Name\" = 'Later' WHERE \"Chart Number\" = 'ZZTOP000'"
            : "SELECT COUNT(*) FROM QVPAT");
    if (engine() == store::Engine::Server)
      holder->driver().executeScript("LOCK TABLE \"QVPAT\" IN ACCESS SHARE MODE");
    Companion restore(restoreFrom(files[0]));
    ASSERT_TRUE(restore.waitFor("80%"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    restore.kill();
    holder->rollback();
  }
  const auto afterKill = vantrell::testing::untilEmpty([&]() -> std::optional<std::string> {
    try {
      return everyRow(*space_->connect()) == changed ? std::nullopt
                                                     : std::optional<std::string>("differs");
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  });
  EXPECT_FALSE(afterKill) << *afterKill;

  const auto restored = Companion(restoreFrom(files[0])).finish();
  ASSERT_EQ(restored.exitCode, 0) << restored.output;
  EXPECT_EQ(everyRow(*space_->connect()), backedUp);
}

// Says Abort at its first report once the copy is made, as the archive is written.
class AbortWhileWriting final : public ui::Progress {
 public:
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t done) override { return done <= 50; }
  void end() override {}
};

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(Backup, AnAbortedOrFullDiskBackupLeavesNothingAndViewListsOnlyThePracticesOwn) {
  auto practice = space_->connect("clerk");
  installTutorialData(*practice, nullptr);
  const auto before = everyRow(*practice);
  const std::vector<std::string> empty = {"config"};
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));

  AbortWhileWriting aborting;
  EXPECT_THROW(backUpPractice(space_->location(), folder_, clock, aborting), store::CopyAborted);
  EXPECT_EQ(namesIn(folder_), empty);

  // Every write of the archive fails as it does on a full disk.
  ui::SilentProgress quiet;
  try {
    backUpPractice(space_->location(), folder_, clock, quiet, [](const std::filesystem::path&) {
      return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    });
    ADD_FAILURE() << "a backup onto a full disk was made";
  } catch (const BackupError& full) {
    EXPECT_EQ(std::string(full.what()),
              "There is not enough room in " + folder_.string() + " for the backup.");
  }
  EXPECT_EQ(namesIn(folder_), empty);
  EXPECT_EQ(everyRow(*practice), before);

  // The folder holds this practice's backup: another practice sees none of it.
  const auto made = backUpPractice(space_->location(), folder_, clock, quiet);
  auto viewOf = [&](const std::string& path) {
    auto arguments = backupArguments("view");
    arguments[1] = path + "\\*.*";
    return Companion(arguments).finish();
  };
  const auto own = viewOf(space_->location().path);
  EXPECT_EQ(own.exitCode, 0);
  EXPECT_NE(own.output.find("1 backup(s)"), std::string::npos) << own.output;
  EXPECT_NE(own.output.find(made.filename().string()), std::string::npos) << own.output;
  const auto other = viewOf(space_->location().path + "_other");
  EXPECT_NE(other.output.find("0 backup(s)"), std::string::npos) << other.output;
  EXPECT_EQ(other.output.find(made.filename().string()), std::string::npos) << other.output;

  // A second backup within the same second (or of another practice of the same
  // folder name) is kept beside the first, not written over it.
  const auto again = backUpPractice(space_->location(), folder_, clock, quiet);
  EXPECT_NE(again, made);
  EXPECT_EQ(namesIn(folder_).size(), 3u);
  EXPECT_NE(viewOf(space_->location().path).output.find("2 backup(s)"), std::string::npos);
}

VANTRELL_ON_BOTH_ENGINES(Backup);

double number(store::Connection& practice, const std::string& sql) {
  const auto value = practice.executeSql(sql).rows.at(0).at(0);
  if (const auto* whole = std::get_if<std::int64_t>(&value)) return static_cast<double>(*whole);
  if (const auto* real = std::get_if<double>(&value)) return *real;
  return std::stod(store::valueToText(value));
}

class FileMaintenance : public EngineTest {};

TEST_P(FileMaintenance, FindsWhatPointsAtNothingAndWrongTotalsChangesNothingUntilToldToRepair) {
  auto practice = space_->connect("clerk");
  installTutorialData(*practice, nullptr);
  // Damage done behind the program's back: an application row goes, a case
  // loses its patient, a charge names a claim that was never made.
  const std::string charge = "(SELECT MIN(\"Charge Reference\") FROM QVPAX)";
  const std::string paidOnCharge =
      "SELECT COALESCE(\"Guarantor Amount Paid\", 0) + COALESCE(\"Insurance 1 Amount Paid\", 0) + "
      "COALESCE(\"Insurance 2 Amount Paid\", 0) + COALESCE(\"Insurance 3 Amount Paid\", 0) + "
      "COALESCE(\"Attorney Amount Paid\", 0) + COALESCE(\"Adjustment Amount\", 0) FROM QVTRN "
      "WHERE \"Entry Number\" = ";
  const double chargeNumber = number(*practice, "SELECT " + charge);
  const std::string chargeText = std::to_string(static_cast<std::int64_t>(chargeNumber));
  const double paidBefore = number(*practice, paidOnCharge + chargeText);
  const double removed = number(
      *practice, "SELECT \"Payment Amount\" FROM QVPAX WHERE \"Charge Reference\" = " + chargeText +
                     " ORDER BY \"Payment Reference\" LIMIT 1");
  practice->executeSql("DELETE FROM QVPAX WHERE \"Charge Reference\" = " + chargeText +
                       " AND \"Payment Reference\" = (SELECT MIN(\"Payment Reference\") FROM QVPAX "
                       "WHERE \"Charge Reference\" = " +
                       chargeText + ")");
  practice->executeSql(
      "INSERT INTO QVCAS (\"Chart Number\", \"Description\") VALUES ('GONE0000', 'x')");
  practice->executeSql("UPDATE QVTRN SET \"Claim Number\" = 987654 WHERE \"Entry Number\" = " +
                       chargeText);
  const auto damaged = everyRow(*practice);

  ui::SilentProgress progress;
  const auto looked = maintainPractice(*practice, false, progress);
  EXPECT_TRUE(looked.integrityProblems.empty());
  std::map<std::string, std::int64_t> counts;
  for (const auto& finding : looked.findings) counts[finding.check] = finding.count;
  EXPECT_EQ(counts["Application rows whose payment is gone"], 0);
  EXPECT_EQ(counts["Application rows whose charge is gone"], 0);
  EXPECT_EQ(counts["Charges on a claim that does not exist"], 1);
  EXPECT_EQ(counts["Cases of a patient who does not exist"], 1);
  EXPECT_GE(looked.totals.chargesChanged, 1);
  EXPECT_TRUE(looked.problemsFound());
  EXPECT_EQ(everyRow(*practice), damaged);  // only looked

  const auto repaired = maintainPractice(*practice, true, progress);
  EXPECT_GE(repaired.totals.chargesChanged, 1);
  EXPECT_EQ(number(*practice,
                   "SELECT COALESCE(\"Claim Number\", 0) FROM QVTRN WHERE \"Entry Number\" = " +
                       chargeText),
            0);
  // The charge's paid buckets no longer hold the application that is gone.
  EXPECT_NEAR(std::abs(number(*practice, paidOnCharge + chargeText) - paidBefore),
              std::abs(removed), 0.00005);
  const auto again = maintainPractice(*practice, false, progress);
  EXPECT_EQ(
      again.totals.chargesChanged + again.totals.paymentsChanged + again.totals.patientsChanged, 0);
}

TEST_P(FileMaintenance, GivesADepositBackOnlyWhatItsPostedPaymentsLeaveOfIt) {
  auto practice = space_->connect("clerk");
  installTutorialData(*practice, nullptr);
  // Two deposits as a stopped payment application leaves them: the first had
  // its payments (and a take back) posted but kept the unapplied amount it
  // began with; the second is right. 300.00 - 200.00 - 100.00 + 40.00 = 40.00.
  const auto depositOf = [&](const std::string& description, const std::string& amount,
                             const std::string& unapplied) {
    practice->executeSql(
        "INSERT INTO QVDEP (\"Description\", \"Payor Type\", \"Payment Amount\", "
        "\"Unapplied Amount\", \"Take Back Code\") VALUES ('" +
        description + "', 'Insurance', " + amount + ", " + unapplied + ", 'TB')");
    return std::to_string(static_cast<std::int64_t>(number(
        *practice,
        "SELECT \"Entry Number\" FROM QVDEP WHERE \"Description\" = '" + description + "'")));
  };
  const auto lineOf = [&](const std::string& deposit, const std::string& type,
                          const std::string& code, const std::string& amount) {
    practice->executeSql(
        "INSERT INTO QVTRN (\"Chart Number\", \"Transaction Type\", \"Procedure Code\", "
        "\"Amount\", \"Deposit ID\") VALUES ('STALE001', '" +
        type + "', '" + code + "', " + amount + ", " + deposit + ")");
  };
  const std::string stale = depositOf("STALE DEPOSIT", "300", "300");
  lineOf(stale, "I", "INSPAY", "-200");
  lineOf(stale, "I", "INSPAY", "-100");
  lineOf(stale, "T", "ADJ", "-25");  // an adjustment spends nothing of the deposit
  lineOf(stale, "V", "TB", "40");
  const std::string right = depositOf("RIGHT DEPOSIT", "150", "50");
  lineOf(right, "I", "INSPAY", "-100");
  const auto unappliedOf = [&](const std::string& deposit) {
    return number(*practice,
                  "SELECT \"Unapplied Amount\" FROM QVDEP WHERE \"Entry Number\" = " + deposit);
  };
  const auto rightRow = [&] {
    return practice->executeSql("SELECT * FROM QVDEP WHERE \"Entry Number\" = " + right).rows;
  };
  const auto rightBefore = rightRow();
  ui::SilentProgress progress;

  const auto looked = maintainPractice(*practice, false, progress);
  const auto tutorialDeposits = looked.depositsRead - 2;
  EXPECT_EQ(looked.depositsChanged, 1);
  EXPECT_TRUE(looked.problemsFound());
  EXPECT_DOUBLE_EQ(unappliedOf(stale), 300.0);  // only looked

  const auto repaired = maintainPractice(*practice, true, progress);
  EXPECT_EQ(repaired.depositsChanged, 1);
  EXPECT_DOUBLE_EQ(unappliedOf(stale), 40.0);
  EXPECT_EQ(rightRow(), rightBefore);
  const auto again = maintainPractice(*practice, false, progress);
  EXPECT_EQ(again.depositsRead, tutorialDeposits + 2);
  EXPECT_EQ(again.depositsChanged, 0);
}

VANTRELL_ON_BOTH_ENGINES(FileMaintenance);

class MaintenanceCommands : public EngineTest {};

// Logs in as ADMIN, counting the logins it was asked for.
class CountedLogin final : public security::LoginPrompt {
 public:
  bool run(security::LoginWindow& window) override {
    ++runs;
    return window.submit("ADMIN", "Pass1234") == security::LoginWindow::Outcome::LoggedIn;
  }
  int runs = 0;
};

TEST_P(MaintenanceCommands, RefusedInTheSystemsOrderAndWhileAnotherWorkstationIsInThePractice) {
  vantrell::testing::Workstation workstation(engine());
  const bool embedded = engine() == store::Engine::Embedded;
  const std::string base = space_->location().path;
  const std::string root = embedded ? base + "/Data" : base + "_root";
  const std::string clinic = embedded ? base + "/Clinic" : base + "_clinic";
  app::Application application(workstation.surroundings);
  app::StartupOptions options;
  options.engine = engine();
  options.rootDirectory = root;
  options.createRootWithoutAsking = true;
  options.openLastPractice = false;
  application.startUp(options);
  ASSERT_EQ(application.newPractice("Clinic", clinic), practice::OpenOutcome::Opened);
  auto& prompter = workstation.prompter;
  PracticeMaintenance maintenance(application);

  EXPECT_FALSE(maintenance.backUp({true, true}));
  EXPECT_EQ(
      prompter.transcript().back(),
      "error: There are transactions that need to be saved or applied before you can backup data.");
  EXPECT_TRUE(maintenance.restore({false, true}));
  EXPECT_EQ(prompter.transcript().back(),
            "error: All windows must be closed before using the Restore option.");
  EXPECT_FALSE(maintenance.fileMaintenance({false, true}));
  EXPECT_EQ(prompter.transcript().back(),
            "error: All windows must be closed before using file maintenance.");

  const store::DataLocation location{engine(), clinic};
  for (const bool withTable : {true, false}) {
    // Another workstation with the practice open, with a window on the ledger or none.
    vantrell::testing::OtherProcess other([&](const auto& holdUntilKilled) {
      auto session = store::Connection::open(location, {"JOHN", nullptr, false});
      auto inUse = store::ExclusiveOperationLock::holdShared(*session);
      std::optional<store::Table> ledger;
      if (withTable) ledger.emplace(session->openTable("QVTRN"));
      holdUntilKilled();
    });
    ASSERT_TRUE(other.ready());
    EXPECT_FALSE(maintenance.backUp({}));
    EXPECT_EQ(prompter.transcript().back(),
              "error: This option requires other users to exit the program");
    EXPECT_EQ(maintenance.lastExitCode(), -1);   // the backup program never ran
    ASSERT_NE(application.practice(), nullptr);  // and the practice is open as before
  }

  // A logged-in user carries on after a backup, with no second login.
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  {
    security::SecuritySetupWindow setup(*application.practice()->connection, prompter,
                                        workstation.clock);
    ASSERT_TRUE(setup.saveUser("ADMIN", {{"Access Level", "1"}, {"Password", "Pass1234"}}));
  }
  CountedLogin login;
  workstation.surroundings.loginPrompt = &login;
  ASSERT_EQ(application.openPractice(clinic), practice::OpenOutcome::Opened);
  ASSERT_EQ(login.runs, 1);
  EXPECT_TRUE(maintenance.backUp({})) << prompter.transcript().back();
  EXPECT_EQ(login.runs, 1);
  ASSERT_NE(application.security(), nullptr);
  EXPECT_TRUE(application.security()->loggedIn());
  EXPECT_EQ(application.security()->userCode(), "ADMIN");
  application.closePractice();
  if (!embedded) {
    auto cleanup = space_->connect("cleanup");
    for (const auto& schema : {root, clinic})
      cleanup->driver().executeScript("DROP SCHEMA IF EXISTS \"" + schema + "\" CASCADE");
  }
}

VANTRELL_ON_BOTH_ENGINES(MaintenanceCommands);

// Records what a watched program reported and says Abort at its first report.
class AbortAtOnce final : public ui::Progress {
 public:
  void begin(const std::string& caption, std::int64_t) override { seen += "begin " + caption; }
  bool advance(std::int64_t done) override {
    seen += " " + std::to_string(done);
    return false;
  }
  void end() override { seen += " end"; }
  std::string seen;
};

TEST(WatchedCompanion, ShowsItsProgressAndIsAskedToStopOnAbort) {
  ui::ProcessLauncher launcher(VANTRELL_BIN_DIR);
  AbortAtOnce progress;
  launcher.watchWith(&progress);
  // Reports how far it is, then works until told to stop, and says so. The
  // stop is set up before the first report: Abort comes as soon as it is read.
  const int exitCode = launcher.run(
      "/bin/sh", {"-c",
                  "trap 'echo Stopped here.; exit 3' TERM; echo 'Copying the ledger: 10%'; "
                  "while :; do sleep 0.1; done"});
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(progress.seen.rfind("begin Copying the ledger 10", 0), 0u) << progress.seen;
  EXPECT_EQ(progress.seen.substr(progress.seen.size() - 4), " end") << progress.seen;
  EXPECT_EQ(launcher.lastOutput(), "Stopped here.\n");
}

TEST(MaintenanceCommandLines, AreBuiltAsThePracticesOptionsSay) {
  const store::DataLocation clinic{store::Engine::Embedded, "/data/Clinic A"};
  EXPECT_EQ(backupCommandLine("", "", "/opt/vantrell", clinic, "backup"),
            "\"/opt/vantrell/vantrell-backup\" \"/data/Clinic A\" backup");
  EXPECT_EQ(backupCommandLine("vantrell-backup", "ignored", "/opt/vantrell", clinic, "restore"),
            "\"/opt/vantrell/vantrell-backup\" \"/data/Clinic A\" restore");
  EXPECT_EQ(backupCommandLine("tapesave", "-d /dev/st0 -a", "/opt/vantrell", clinic, "backup"),
            "tapesave -d /dev/st0 -a");
  EXPECT_EQ(backupCommandLine("", "", "/opt/vantrell", {store::Engine::Server, "clinic"}, "backup"),
            "\"/opt/vantrell/vantrell-backup\" \"clinic\" backup CS");
  EXPECT_EQ(fileMaintenanceCommandLine("/opt/vantrell", clinic, "MARY"),
            "\"/opt/vantrell/vantrell-maintain\" \"/data/Clinic A\" QV \"MARY\"");
  EXPECT_EQ(splitCommandLine("\"/opt/v/prog\" \"/data/Clinic A\" backup"),
            (std::vector<std::string>{"/opt/v/prog", "/data/Clinic A", "backup"}));
}

}  // namespace
}  // namespace vantrell::maintenance
