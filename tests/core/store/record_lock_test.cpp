#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/other_process.hpp"
#include "support/practice_rows.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

class RecordLocking : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    auto connection = space_->connect();
    ensureTable(*connection, "QVPAT");
    Table patients = connection->openTable("QVPAT");
    Record patient = patients.newRecord();
    patient.set("Chart Number", std::string("LIAN0000"));
    patients.append(patient);
  }

  static Record readPatient(Table& patients) {
    patients.setOrder("Primary");
    return *patients.seek({Value{std::string("LIAN0000")}});
  }

  static std::optional<std::string> ownerRefusing(Table& patients) {
    Record patient = readPatient(patients);
    try {
      patients.edit(patient);
    } catch (const RecordInUseError& error) {
      return error.viewingOnlyMessage();
    }
    patients.cancel(patient);
    return std::nullopt;
  }
};

TEST_P(RecordLocking, ASecondWindowIsRefusedWithTheOwnerUntilPostOrCancel) {
  auto frontDesk = space_->connect("MARY");
  auto billing = space_->connect("JOE");
  Table deskPatients = frontDesk->openTable("QVPAT");
  Table billingPatients = billing->openTable("QVPAT");

  Record patient = readPatient(deskPatients);
  deskPatients.edit(patient);
  EXPECT_EQ(ownerRefusing(billingPatients),
            "The current record is in use by: MARY.  Opened for viewing only.");
  // A second window of the same workstation is refused as well.
  Table otherWindow = frontDesk->openTable("QVPAT");
  EXPECT_TRUE(ownerRefusing(otherWindow).has_value());
  // Deleting is refused too while the record is in edit elsewhere.
  Record copy = readPatient(billingPatients);
  EXPECT_THROW(billingPatients.remove(copy), RecordInUseError);

  patient.set("Last Name", std::string("Li"));
  deskPatients.post(patient);
  EXPECT_EQ(ownerRefusing(billingPatients), std::nullopt);

  deskPatients.edit(patient);
  deskPatients.cancel(patient);
  EXPECT_EQ(ownerRefusing(billingPatients), std::nullopt);
}

TEST_P(RecordLocking, ALockLetGoInsideAFailedSaveIsGoneWhenTheSaveEnds) {
  auto alice = space_->connect("ALICE");
  auto bob = space_->connect("BOB");
  Table alicePatients = alice->openTable("QVPAT");
  Table bobPatients = bob->openTable("QVPAT");
  {
    Transaction save(*alice);
    Record patient = readPatient(alicePatients);
    alicePatients.edit(patient);
    {
      Transaction inner(*alice);
      EXPECT_THROW(alice->executeSql("SELECT * FROM QVPAT WHERE \"No Such Field\" = 1"),
                   StoreError);
      alicePatients.cancel(patient);
    }
    save.commit();
  }
  EXPECT_EQ(ownerRefusing(bobPatients), std::nullopt);

  // A session that closes lets its locks go, even if records still hold them.
  Record held = readPatient(alicePatients);
  alicePatients.edit(held);
  EXPECT_TRUE(ownerRefusing(bobPatients).has_value());
  alice.reset();
  EXPECT_EQ(vantrell::testing::untilEmpty([&] { return ownerRefusing(bobPatients); }),
            std::nullopt);
}

TEST_P(RecordLocking, ExclusiveOpenKeepsOthersOut) {
  auto maintenance = space_->connect("ADMIN");
  auto desk = space_->connect("MARY");
  {
    Table shared = desk->openTable("QVPAT");
    EXPECT_THROW(maintenance->openTable("QVPAT", OpenMode::Exclusive), RecordInUseError);
  }
  Table exclusive = maintenance->openTable("QVPAT", OpenMode::Exclusive);
  EXPECT_THROW(desk->openTable("QVPAT"), RecordInUseError);
}

// A save opens and closes its tables many times; whatever the session keeps
// for that, a table closed is free for an exclusive open once the save ends,
// committed or not, and the session itself may open it exclusively meanwhile.
TEST_P(RecordLocking, TablesClosedInsideASaveAreFreeWhenTheSaveEnds) {
  auto desk = space_->connect("MARY");
  auto maintenance = space_->connect("ADMIN");
  for (const bool keep : {true, false}) {
    {
      Transaction save(*desk);
      for (int open = 0; open < 3; ++open) {
        Table patients = desk->openTable("QVPAT");
        EXPECT_EQ(readPatient(patients).text("Chart Number"), "LIAN0000");
      }
      if (keep) save.commit();
    }
    EXPECT_NO_THROW(maintenance->openTable("QVPAT", OpenMode::Exclusive)) << keep;
  }
  {
    Transaction save(*desk);
    { Table shared = desk->openTable("QVPAT"); }
    {
      Table exclusive = desk->openTable("QVPAT", OpenMode::Exclusive);
      EXPECT_THROW(maintenance->openTable("QVPAT"), RecordInUseError);
    }
    Table sharedAgain = desk->openTable("QVPAT");
    save.commit();
    EXPECT_THROW(maintenance->openTable("QVPAT", OpenMode::Exclusive), RecordInUseError);
  }
  EXPECT_NO_THROW(maintenance->openTable("QVPAT", OpenMode::Exclusive));
}

// Another workstation is another process: it takes the lock, then dies without
// letting go. The lock must die with it.
TEST_P(RecordLocking, AnotherProcessHoldsTheLockUntilItIsKilled) {
  vantrell::testing::OtherProcess nurse(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("NURSE");
        Table patients = connection->openTable("QVPAT");
        Record patient = readPatient(patients);
        patients.edit(patient);
        hold();
      });
  ASSERT_TRUE(nurse.ready()) << "the other workstation never took the lock";

  auto connection = space_->connect("MARY");
  Table patients = connection->openTable("QVPAT");
  EXPECT_EQ(ownerRefusing(patients),
            "The current record is in use by: NURSE.  Opened for viewing only.");

  nurse.kill();
  EXPECT_EQ(vantrell::testing::untilEmpty([&] { return ownerRefusing(patients); }), std::nullopt);
}

// A workstation that vanishes without a word (power cut, pulled cable) leaves
// no process for the kernel to close: only the server's probes of the idle
// connection end its session and free its locks, and the system's default
// waits two hours before the first.
TEST_P(RecordLocking, TheServerProbesAnIdleWorkstationWithinAMinute) {
  if (engine() != Engine::Server) GTEST_SKIP() << "an embedded practice has no connection";
  auto connection = space_->connect("MARY");
  const auto setting = [&](const std::string& name) {
    return vantrell::testing::singleNumber(*connection,
                                           "SELECT current_setting('" + name + "')::int");
  };
  EXPECT_LE(setting("tcp_keepalives_idle") +
                setting("tcp_keepalives_interval") * setting("tcp_keepalives_count"),
            60);
  EXPECT_GT(setting("tcp_keepalives_idle"), 0) << "the test server is reached by TCP";
}

// A lock's owner is a user in a program on a workstation: a window tells its
// own program's holders (another window, another session) from another
// program, even one of the same user.
TEST_P(RecordLocking, TheOwnerNamesUserWorkstationAndProcess) {
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  const auto refusal = [](Table& patients) -> std::optional<LockOwner> {
    Record patient = readPatient(patients);
    try {
      patients.edit(patient);
    } catch (const RecordInUseError& error) {
      return error.owner();
    }
    patients.cancel(patient);
    return std::nullopt;
  };

  vantrell::testing::OtherProcess sameUser(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("MARY");
        Table patients = connection->openTable("QVPAT");
        Record patient = readPatient(patients);
        patients.edit(patient);
        hold();
      });
  ASSERT_TRUE(sameUser.ready());
  auto mary = space_->connect("MARY");
  Table maryPatients = mary->openTable("QVPAT");
  const auto elsewhere = refusal(maryPatients);
  ASSERT_TRUE(elsewhere.has_value());
  EXPECT_EQ(elsewhere->user, "MARY");
  EXPECT_EQ(elsewhere->workstation, std::string(host));
  EXPECT_EQ(elsewhere->process, sameUser.pid());
  EXPECT_FALSE(elsewhere->isThisProcess());
  sameUser.kill();
  ASSERT_EQ(vantrell::testing::untilEmpty([&] { return refusal(maryPatients); }), std::nullopt);

  // Held by another session of this program under another name.
  auto joe = space_->connect("JOE");
  Table joePatients = joe->openTable("QVPAT");
  Record held = readPatient(joePatients);
  joePatients.edit(held);
  const auto here = refusal(maryPatients);
  ASSERT_TRUE(here.has_value());
  EXPECT_EQ(here->user, "JOE");
  EXPECT_EQ(here->process, static_cast<std::int64_t>(::getpid()));
  EXPECT_TRUE(here->isThisProcess());
  // And by another window of the same session.
  Table otherWindow = joe->openTable("QVPAT");
  const auto sameSession = refusal(otherWindow);
  ASSERT_TRUE(sameSession.has_value());
  EXPECT_TRUE(sameSession->isThisProcess());

  // Another workstation is named with its user.
  const LockOwner remote{"MARY", "FRONT-DESK-2", 4242};
  EXPECT_EQ(LockOwner::decode(remote.encoded()), remote);
  EXPECT_EQ(RecordInUseError(remote).viewingOnlyMessage(),
            "The current record is in use by: MARY at FRONT-DESK-2.  Opened for viewing only.");
  EXPECT_EQ(LockOwner::decode("Autoconversion in progress.  Cannot open data.").display(),
            "Autoconversion in progress.  Cannot open data.");
}

// A workstation that keeps a write open: on the server another's write goes
// on beside it; on the embedded engine it waits, then gives up as a record in
// use that names the writer, not as "database is locked".
TEST_P(RecordLocking, AWriteThatWaitsInVainNamesTheWriter) {
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  vantrell::testing::OtherProcess billing(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("BILLING");
        connection->begin();
        Table patients = connection->openTable("QVPAT");
        Record row = patients.newRecord();
        row.set("Chart Number", std::string("BILL0000"));
        patients.append(row);
        hold();
      });
  ASSERT_TRUE(billing.ready());
  auto desk = Connection::open(space_->location(), {"DESK", nullptr, false, 300});
  Table patients = desk->openTable("QVPAT");
  Record row = patients.newRecord();
  row.set("Chart Number", std::string("DESK0000"));
  if (engine() == Engine::Server) {
    EXPECT_NO_THROW(patients.append(row));
    return;
  }
  try {
    patients.append(row);
    ADD_FAILURE() << "wrote beside another writer";
  } catch (const RecordInUseError& busy) {
    EXPECT_EQ(std::string(busy.what()),
              "The current record is in use by: BILLING.  This process cannot complete.");
    ASSERT_TRUE(busy.owner().has_value());
    EXPECT_EQ(busy.owner()->process, billing.pid());
    EXPECT_EQ(busy.owner()->workstation, std::string(host));
  }
  billing.kill();
  Record again = patients.newRecord();
  again.set("Chart Number", std::string("DESK0000"));
  EXPECT_NO_THROW(patients.append(again));
}

VANTRELL_ON_BOTH_ENGINES(RecordLocking);

}  // namespace
}  // namespace vantrell::store
