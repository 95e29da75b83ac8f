// Importing hand-written 835 files into Jane Doe's practice on both engines,
// checked against the ledger, deposits, claim slots and queue worked out by
// hand for each file.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "remittance/remittance_import.hpp"
#include "remittance/remittance_queue.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/money_printing.hpp"
#include "support/other_process.hpp"
#include "support/practice_rows.hpp"
#include "support/store_fixture.hpp"
#include "transactions/recalculation.hpp"
#include "ui/progress.hpp"

namespace vantrell::remittance {
namespace {

using vantrell::testing::FieldTexts;

Money cents(std::int64_t amount) {
  return Money::fromCents(amount);
}

// An interchange around transaction sets; the ISA's fixed width is counted by
// hand (106 characters with its terminator).
std::string interchange(const std::string& sets, int count) {
  return "ISA*00*          *00*          *ZZ*87726          *ZZ*CLINIC         *261201*1200*^*"
         "00501*000000007*0*P*:~\n"
         "GS*HP*87726*CLINIC*20261201*1200*7*X*005010X221A1~\n" +
         sets + fmt::format("GE*{}*7~\nIEA*1*000000007~\n", count);
}

// The header every transaction set here starts with: ST, BPR, TRN, N1*PR, REF*2U (5 segments).
std::string header(const std::string& control, const std::string& amount,
                   const std::string& trace) {
  return fmt::format(
      "ST*835*{}*005010X221A1~\nBPR*I*{}*C*ACH*CCP*01*999999999*DA*1234*1999999999**01*999999999*"
      "DA*5678*20261201~\nTRN*1*{}*1999999999~\nN1*PR*UNITED HILLS PLAN~\nREF*2U*87726~\n",
      control, amount, trace);
}

class RemittanceImport : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    vantrell::testing::insertPaymentPractice(*practice_);
    insert("QVINS", {{"Code", "UHP"},
                     {"Name", "United Hills Plan"},
                     {"EMC Payor Number", "87726"},
                     {"Default Payment Code", "INS"},
                     {"Default Write Off Code", "WO"},
                     {"Default Deductible Code", "DED"},
                     {"Default Take Back Code", "TAKE"}});
    insert("QVCAS", {{"Chart Number", "DOEJA000"},
                     {"Description", "Visit"},
                     {"Insurance Carrier #1", "UHP"},
                     {"Insurance Carrier #2", "BC"}});
    caseNumber_ = number("SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
    store::Table table = practice_->openTable("QVOPT");
    store::Record row = table.newRecord();
    practice::applyNewOptionValues(row);
    row.setFromText("Mark Completed Claims Done", "T");
    options_ = practice::Options(row);
  }

  void insert(const char* table, const FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t number(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }
  // A claim sent to UHP; returns its number.
  std::int64_t claim(const char* chart = "DOEJA000") {
    insert("QVCLA", {{"Chart Number", chart},
                     {"Case Number", std::to_string(caseOf(chart))},
                     {"Insurance Carrier 1", "UHP"},
                     {"Claim Status 1", "2"},
                     {"Insurance Carrier 2", "BC"},
                     {"Claim Status 2", "0"}});
    return number("SELECT MAX(\"Claim Number\") FROM \"QVCLA\"");
  }
  // A charge on that claim, unpaid; returns its entry number.
  std::int64_t charge(std::int64_t claim, const char* code, const char* date, const char* amount,
                      const char* chart = "DOEJA000") {
    insert("QVTRN", {{"Chart Number", chart},
                     {"Case Number", std::to_string(caseOf(chart))},
                     {"Transaction Type", code == std::string("VISIT") ? "A" : "B"},
                     {"Procedure Code", code},
                     {"Date From", date},
                     {"Amount", amount},
                     {"Claim Number", std::to_string(claim)},
                     {"Insurance 1 Responsible", "T"},
                     {"Insurance 2 Responsible", "T"},
                     {"Guarantor Responsible", "T"}});
    return number("SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
  }

  // John Smith (SMIJO000), his case with UHP first, as Jane's.
  void addJohn() {
    insert("QVPAT", {{"Chart Number", "SMIJO000"}, {"Last Name", "Smith"}, {"First Name", "John"}});
    insert(
        "QVCAS",
        {{"Chart Number", "SMIJO000"}, {"Description", "Visit"}, {"Insurance Carrier #1", "UHP"}});
    johnsCase_ = number("SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
  }
  std::int64_t caseOf(const std::string& chart) const {
    return chart == "DOEJA000" ? caseNumber_ : johnsCase_;
  }

  ImportResult import(const std::string& text, PatientShare share = PatientShare::LeftToPatient,
                      store::Connection* desk = nullptr, ui::Progress* progress = nullptr) {
    ImportChoices choices;
    choices.patientShare = share;
    choices.fileName = "test.835";
    return importRemittance({desk ? *desk : *practice_, options_, clock_, "CLERK", progress}, text,
                            choices);
  }

  store::Record row(const char* table, const char* field, std::int64_t key) {
    store::Table rows = practice_->openTable(table);
    std::optional<store::Record> found;
    rows.forEach([&](const store::Record& each) {
      if (each.integer(field) == key) found = each;
    });
    if (!found) throw std::runtime_error("no row");
    return *found;
  }
  // Amount less everything paid or adjusted.
  Money remainder(std::int64_t entry) {
    const store::Record line = row("QVTRN", "Entry Number", entry);
    Money left = line.money("Amount");
    for (const char* paid :
         {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
          "Guarantor Amount Paid", "Adjustment Amount"})
      left += line.money(paid);
    return left;
  }
  // The payment and adjustment lines, oldest first: "code type amount -> charge".
  std::vector<std::string> postedLines() {
    std::vector<std::string> lines;
    auto rows = practice_->executeSql(
        "SELECT t.\"Procedure Code\", t.\"Transaction Type\", t.\"Amount\", a.\"Charge Reference\" "
        "FROM \"QVTRN\" t JOIN \"QVPAX\" a ON a.\"Payment Reference\" = t.\"Entry Number\" "
        "ORDER BY t.\"Entry Number\"");
    for (const auto& each : rows.rows)
      lines.push_back(fmt::format("{} {} {} -> {}", std::get<std::string>(each[0]),
                                  std::get<std::string>(each[1]),
                                  Money::fromDouble(std::get<double>(each[2])).toString(),
                                  std::get<std::int64_t>(each[3])));
    return lines;
  }
  std::vector<std::string> queueKinds(std::int64_t remittance) {
    std::vector<std::string> kinds;
    for (const auto& item : queueItems(*practice_, remittance, true))
      kinds.push_back(std::string(store::trimRight(item.text("Kind"))) + " " +
                      std::to_string(item.integer("Charge Entry")));
    return kinds;
  }
  // The charges above were put in straight; the patient's balance is brought
  // to agree with them before anything is imported.
  void settleBalances() {
    ui::SilentProgress progress;
    transactions::recalculatePractice(*practice_, std::nullopt, progress);
  }
  void expectNothingToRecalculate() {
    ui::SilentProgress progress;
    const auto report = transactions::recalculatePractice(*practice_, std::nullopt, progress);
    EXPECT_EQ(report.chargesChanged, 0);
    EXPECT_EQ(report.paymentsChanged, 0);
    EXPECT_EQ(report.patientsChanged, 0);
  }

  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  practice::Options options_;
  std::unique_ptr<store::Connection> practice_;
  std::int64_t caseNumber_ = 0;
  std::int64_t johnsCase_ = 0;
};

// Two transactions in one file, patient responsibility recorded as the
// carrier's deductible lines. The first pays claim A: a visit paid with a
// contractual write-off and coinsurance (found by its line control number), an
// x-ray wholly the patient's deductible (found by date, procedure and amount:
// it carries no control number), and a denied visit.
// The second pays claim B in full, less an overpayment recovered by a PLB.
TEST_P(RemittanceImport, TwoPaymentsPostPaidLinesAndQueueTheDenialAndTheRecovery) {
  const auto claimA = claim();
  const auto visit = charge(claimA, "VISIT", "11/02/2026", "100");
  const auto xray = charge(claimA, "XRAY", "11/02/2026", "80");
  const auto denied = charge(claimA, "VISIT", "11/03/2026", "100");
  const auto claimB = claim();
  const auto paidInFull = charge(claimB, "XRAY", "11/10/2026", "80");
  settleBalances();
  const std::string first =
      header("0001", "70", "EFT1") +
      fmt::format(
          "CLP*{0}*1*280*70*70*12*PCN1~\nNM1*QC*1*DOE*JANE~\n"
          "SVC*HC:VISIT*100*70**1~\nDTM*472*20261102~\nCAS*CO*45*20~\nCAS*PR*2*10~\nREF*6R*{1}~\n"
          "AMT*B6*80~\n"
          "SVC*HC:XRAY*80*0**1~\nDTM*472*20261102~\nCAS*CO*45*20~\nCAS*PR*1*60~\nAMT*B6*60~\n"
          "SVC*HC:VISIT*100*0**1~\nDTM*472*20261103~\nCAS*CO*50*100~\nREF*6R*{2}~\n"
          "SE*23*0001~\n",
          claimA, visit, denied);
  const std::string second =
      header("0002", "54", "EFT2") + fmt::format(
                                         "CLP*{0}*1*80*64*0*12*PCN2~\nSVC*HC:XRAY*80*64**1~\n"
                                         "DTM*472*20261110~\nCAS*CO*45*16~\nREF*6R*{1}~\n"
                                         "PLB*1234567893*20261231*WO:RECOUP7*10~\nSE*12*0002~\n",
                                         claimB, paidInFull);
  const std::string file = interchange(first + second, 2);
  const auto result = import(file, PatientShare::Deductible);
  ASSERT_EQ(result.refusal, "");
  ASSERT_EQ(result.advices.size(), 2u);
  EXPECT_EQ(result.advices[0].linesPosted, 2);
  EXPECT_EQ(result.advices[0].linesQueued, 1);
  EXPECT_EQ(result.advices[1].linesPosted, 1);

  EXPECT_EQ(postedLines(),
            (std::vector<std::string>{
                fmt::format("INS I -70.00 -> {}", visit), fmt::format("DED P 0.00 -> {}", visit),
                fmt::format("WO T -20.00 -> {}", visit), fmt::format("INS I 0.00 -> {}", xray),
                fmt::format("DED P 0.00 -> {}", xray), fmt::format("WO T -20.00 -> {}", xray),
                fmt::format("INS I -64.00 -> {}", paidInFull),
                fmt::format("WO T -16.00 -> {}", paidInFull)}));
  EXPECT_EQ(remainder(visit), cents(1000));  // the coinsurance, the patient's
  EXPECT_EQ(remainder(xray), cents(6000));   // the deductible, the patient's
  EXPECT_EQ(remainder(denied), cents(10000));
  EXPECT_EQ(remainder(paidInFull), Money{});
  EXPECT_EQ(row("QVTRN", "Entry Number", denied).text("Claim Rejection Code"), "50");
  EXPECT_FALSE(row("QVTRN", "Entry Number", denied).logical("Insurance 1 Paid"));
  EXPECT_TRUE(row("QVTRN", "Entry Number", xray).logical("Insurance 1 Paid"));
  // Claim A waits on its denied visit; claim B is done for UHP.
  EXPECT_EQ(row("QVCLA", "Claim Number", claimA).text("Claim Status 1"), "2");
  EXPECT_EQ(row("QVCLA", "Claim Number", claimB).text("Claim Status 1"), "6");
  // 70 received, 70 posted; 54 received, 64 posted: the recovery is the queue's.
  const store::Record depositA = row("QVDEP", "Entry Number", result.advices[0].depositId);
  EXPECT_EQ(depositA.money("Payment Amount"), cents(7000));
  EXPECT_EQ(depositA.money("Unapplied Amount"), Money{});
  EXPECT_EQ(depositA.text("Insurance Code"), "UHP");
  EXPECT_EQ(depositA.text("Check Number"), "EFT1");
  EXPECT_EQ(row("QVDEP", "Entry Number", result.advices[1].depositId).money("Unapplied Amount"),
            cents(-1000));

  EXPECT_EQ(queueKinds(result.advices[0].remittanceNumber),
            (std::vector<std::string>{fmt::format("Denial {}", denied)}));
  EXPECT_EQ(queueItems(*practice_, result.advices[0].remittanceNumber, true)[0].text("Reason"),
            "Denied: 50: Not deemed a medical necessity by the payer");
  const auto recovery = queueItems(*practice_, result.advices[1].remittanceNumber, true);
  ASSERT_EQ(recovery.size(), 1u);
  EXPECT_EQ(recovery[0].text("Reason"),
            "Provider adjustment WO: Overpayment recovery, reference RECOUP7: 10.00 taken from the "
            "payment.");
  expectNothingToRecalculate();

  const auto again = import(file);
  EXPECT_EQ(again.refusal,
            fmt::format("The payment with trace number EFT1 from payer 87726 was imported on "
                        "12/05/2026 as remittance {}; it is not posted twice.",
                        result.advices[0].remittanceNumber));
  EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVDEP\""), 2);
  EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVERA\""), 2);
}

// The practice's option says what coinsurance becomes when the import is not
// told: a deductible line of the carrier; told otherwise for one file, it is
// left to the patient.
TEST_P(RemittanceImport, PatientShareFollowsThePracticeOptionUnlessTheImportIsTold) {
  store::Record row = options_.record();
  row.setFromText("Patient Share As Deductible", "T");
  options_ = practice::Options(row);
  const auto claimA = claim();
  const auto visitA = charge(claimA, "VISIT", "11/02/2026", "100");
  const auto claimB = claim();
  const auto visitB = charge(claimB, "VISIT", "11/02/2026", "100");
  settleBalances();
  const auto paid = [](std::int64_t claim, std::int64_t visit, const char* trace) {
    return interchange(header("0001", "70", trace) +
                           fmt::format("CLP*{0}*1*100*70*10*12*PCN{0}~\nSVC*HC:VISIT*100*70**1~\n"
                                       "DTM*472*20261102~\nCAS*CO*45*20~\nCAS*PR*2*10~\n"
                                       "REF*6R*{1}~\nSE*12*0001~\n",
                                       claim, visit),
                       1);
  };
  ImportChoices unsaid;
  unsaid.fileName = "a.835";
  ASSERT_EQ(
      importRemittance({*practice_, options_, clock_, "CLERK"}, paid(claimA, visitA, "T1"), unsaid)
          .refusal,
      "");
  ASSERT_EQ(import(paid(claimB, visitB, "T2"), PatientShare::LeftToPatient).refusal, "");
  EXPECT_EQ(postedLines(),
            (std::vector<std::string>{
                fmt::format("INS I -70.00 -> {}", visitA), fmt::format("DED P 0.00 -> {}", visitA),
                fmt::format("WO T -20.00 -> {}", visitA), fmt::format("INS I -70.00 -> {}", visitB),
                fmt::format("WO T -20.00 -> {}", visitB)}));
  EXPECT_EQ(remainder(visitA), cents(1000));
  EXPECT_EQ(remainder(visitB), cents(1000));
}

// A payment with coinsurance left to the patient, then reversed and paid
// again in one file: both go to the clerk and the earlier posting stands. Then a file that does not
// balance posts nothing, and a queue item is resolved once.
TEST_P(RemittanceImport, AReversalAndItsCorrectionAreQueuedAndAnUnbalancedFilePostsNothing) {
  const auto claimA = claim();
  const auto visit = charge(claimA, "VISIT", "11/12/2026", "100");
  settleBalances();
  const auto paid = import(interchange(
      header("0001", "70", "EFT3") +
          fmt::format("CLP*{}*1*100*70*10*12*PCN9~\nSVC*HC:VISIT*100*70**1~\nDTM*472*20261112~\n"
                      "CAS*CO*45*20~\nCAS*PR*2*10~\nREF*6R*{}~\nSE*12*0001~\n",
                      claimA, visit),
      1));
  ASSERT_EQ(paid.refusal, "");
  EXPECT_EQ(remainder(visit), cents(1000));
  EXPECT_EQ(row("QVCLA", "Claim Number", claimA).text("Claim Status 1"), "6");
  const auto linesBefore = postedLines();
  ASSERT_EQ(linesBefore.size(), 2u);

  const std::string reversalAndCorrection = fmt::format(
      "CLP*{0}*22*-100*-70*-10*12*PCN9~\nSVC*HC:VISIT*-100*-70**1~\nDTM*472*20261112~\n"
      "CAS*CO*45*-20~\nCAS*PR*2*-10~\nREF*6R*{1}~\n"
      "CLP*{0}*1*100*90*0*12*PCN9B~\nSVC*HC:VISIT*100*90**1~\nDTM*472*20261112~\n"
      "CAS*CO*45*10~\nREF*6R*{1}~\nSE*17*0001~\n",
      claimA, visit);
  const auto corrected =
      import(interchange(header("0001", "20", "EFT4") + reversalAndCorrection, 1));
  ASSERT_EQ(corrected.refusal, "");
  EXPECT_EQ(postedLines(), linesBefore);
  EXPECT_EQ(remainder(visit), cents(1000));
  EXPECT_EQ(row("QVCLA", "Claim Number", claimA).text("Claim Status 1"), "6");
  const auto remittance = corrected.advices[0].remittanceNumber;
  EXPECT_EQ(queueKinds(remittance),
            (std::vector<std::string>{fmt::format("Reversal {}", visit),
                                      fmt::format("Correction {}", visit)}));
  EXPECT_EQ(row("QVDEP", "Entry Number", corrected.advices[0].depositId).money("Unapplied Amount"),
            cents(2000));
  expectNothingToRecalculate();

  const auto unbalanced =
      import(interchange(header("0001", "21", "EFT5") + reversalAndCorrection, 1));
  EXPECT_EQ(unbalanced.refusal,
            "Segment 4 (BPR): the payment 21.00 is not the claim payments less the provider "
            "adjustments, 20.00; nothing is posted from this file.");
  EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVERA\""), 2);
  EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVDEP\""), 2);

  const auto item = queueItems(*practice_, remittance, true).at(0).integer("Item Number");
  EXPECT_EQ(resolveQueueItem(*practice_, item, "Take-back posted by hand", "CLERK", clock_.today()),
            "");
  EXPECT_EQ(resolveQueueItem(*practice_, item, "again", "CLERK", clock_.today()),
            fmt::format("Queue item {} was resolved on 12/05/2026 by CLERK.", item));
  EXPECT_EQ(queueItems(*practice_, remittance, true).size(), 1u);
}

// Jane's visit paid with coinsurance; John's visit paid and his x-ray denied:
// one payment, two patients, saved Jane first.
struct TwoPatients {
  std::string file;
  std::int64_t claimA = 0, claimB = 0, janes = 0, johns = 0, denied = 0;
};

class TwoPatientImport : public RemittanceImport {
 protected:
  TwoPatients twoPatients() {
    addJohn();
    TwoPatients made;
    made.claimA = claim();
    made.janes = charge(made.claimA, "VISIT", "11/02/2026", "100");
    made.claimB = claim("SMIJO000");
    made.johns = charge(made.claimB, "VISIT", "11/04/2026", "100", "SMIJO000");
    made.denied = charge(made.claimB, "XRAY", "11/04/2026", "80", "SMIJO000");
    settleBalances();
    made.file = interchange(
        header("0001", "150", "EFT6") +
            fmt::format("CLP*{0}*1*100*70*10*12*PCN1~\nSVC*HC:VISIT*100*70**1~\nDTM*472*20261102~\n"
                        "CAS*CO*45*20~\nCAS*PR*2*10~\nREF*6R*{1}~\n"
                        "CLP*{2}*1*180*80*0*12*PCN2~\nSVC*HC:VISIT*100*80**1~\nDTM*472*20261104~\n"
                        "CAS*CO*45*20~\nREF*6R*{3}~\nSVC*HC:XRAY*80*0**1~\nDTM*472*20261104~\n"
                        "CAS*CO*50*80~\nREF*6R*{4}~\nSE*21*0001~\n",
                        made.claimA, made.janes, made.claimB, made.johns, made.denied),
        1);
    return made;
  }

  // Only Jane's save is in the ledger.
  void expectJaneOnly(const TwoPatients& made) {
    EXPECT_EQ(postedLines(),
              (std::vector<std::string>{fmt::format("INS I -70.00 -> {}", made.janes),
                                        fmt::format("WO T -20.00 -> {}", made.janes)}));
    EXPECT_EQ(remainder(made.johns), cents(10000));
    EXPECT_EQ(row("QVTRN", "Entry Number", made.denied).text("Claim Rejection Code"), "");
  }

  // The file imported again after a stop: John posted, and everything as one
  // import that never stopped would have left it; a further import is refused.
  void expectFinishedOnce(const TwoPatients& made, const ImportResult& finished) {
    EXPECT_TRUE(finished.advices.at(0).finishing);
    EXPECT_FALSE(finished.stopped);
    EXPECT_EQ(postedLines(),
              (std::vector<std::string>{fmt::format("INS I -70.00 -> {}", made.janes),
                                        fmt::format("WO T -20.00 -> {}", made.janes),
                                        fmt::format("INS I -80.00 -> {}", made.johns),
                                        fmt::format("WO T -20.00 -> {}", made.johns)}));
    EXPECT_EQ(remainder(made.janes), cents(1000));
    EXPECT_EQ(remainder(made.johns), Money{});
    EXPECT_EQ(remainder(made.denied), cents(8000));
    EXPECT_EQ(row("QVTRN", "Entry Number", made.denied).text("Claim Rejection Code"), "50");
    EXPECT_EQ(row("QVCLA", "Claim Number", made.claimA).text("Claim Status 1"), "6");
    EXPECT_EQ(row("QVCLA", "Claim Number", made.claimB).text("Claim Status 1"), "2");
    EXPECT_EQ(number("SELECT COUNT(*) FROM \"QVDEP\""), 1);
    ASSERT_EQ(listRemittances(*practice_).size(), 1u);
    const store::Record imported = listRemittances(*practice_).at(0);
    EXPECT_EQ(
        row("QVDEP", "Entry Number", imported.integer("Deposit ID")).money("Unapplied Amount"),
        Money{});
    EXPECT_EQ(queueKinds(imported.integer("Remittance Number")),
              (std::vector<std::string>{fmt::format("Denial {}", made.denied)}));
    EXPECT_EQ(imported.integer("Lines"), 3);
    EXPECT_EQ(imported.integer("Lines Posted"), 2);
    EXPECT_EQ(imported.integer("Lines Queued"), 1);
    EXPECT_EQ(imported.money("Amount Posted"), cents(15000));
    expectNothingToRecalculate();
    EXPECT_EQ(import(made.file).refusal,
              fmt::format("The payment with trace number EFT6 from payer 87726 was imported on "
                          "12/05/2026 as remittance {}; it is not posted twice.",
                          imported.integer("Remittance Number")));
  }
};

// An import killed after Jane's save, before John's (while it posts, nobody
// else may finish it): importing the file again finishes it, posting John only.
TEST_P(TwoPatientImport, AnImportKilledPartWayIsFinishedByImportingTheFileAgain) {
  const TwoPatients made = twoPatients();
  class HoldingProgress final : public ui::Progress {
   public:
    explicit HoldingProgress(const vantrell::testing::OtherProcess::HoldUntilKilled& hold)
        : hold_(hold) {}
    void begin(const std::string&, std::int64_t) override {}
    bool advance(std::int64_t done) override {
      if (done == 1) hold_();  // Jane saved, John not yet
      return true;
    }
    void end() override {}

   private:
    const vantrell::testing::OtherProcess::HoldUntilKilled& hold_;
  };
  vantrell::testing::OtherProcess desk(
      [&](const vantrell::testing::OtherProcess::HoldUntilKilled& hold) {
        auto connection = space_->connect("DESK2");
        HoldingProgress progress(hold);
        import(made.file, PatientShare::LeftToPatient, connection.get(), &progress);
      });
  ASSERT_TRUE(desk.ready());
  // While that desk posts, a second one importing the same file is told who
  // has it and posts nothing: otherwise John would be paid by both.
  const ImportResult meanwhile = import(made.file);
  EXPECT_NE(meanwhile.refusal.find("is being posted by DESK2"), std::string::npos)
      << meanwhile.refusal;
  EXPECT_EQ(postedLines().size(), 2u);
  desk.kill();
  expectJaneOnly(made);

  // The server ends the killed desk's session a moment later.
  ImportResult finished;
  const auto refusal = vantrell::testing::untilEmpty([&]() -> std::optional<std::string> {
    finished = import(made.file);
    if (finished.refusal.empty()) return std::nullopt;
    return finished.refusal;
  });
  ASSERT_EQ(refusal, std::nullopt);
  expectFinishedOnce(made, finished);
}

// Abort pressed while Jane's save is reported: John is not posted, the person
// is told what was and was not, and the same file again posts John once.
TEST_P(TwoPatientImport, AbortStopsBetweenPatientsAndTheSameFileAgainPostsTheRest) {
  const TwoPatients made = twoPatients();
  class AbortAfterFirst final : public ui::Progress {
   public:
    void begin(const std::string&, std::int64_t) override {}
    bool advance(std::int64_t done) override { return done < 1; }
    void end() override {}
  } progress;
  const ImportResult stopped = import(made.file, PatientShare::LeftToPatient, nullptr, &progress);
  ASSERT_EQ(stopped.refusal, "");
  EXPECT_TRUE(stopped.stopped);
  ASSERT_EQ(stopped.advices.size(), 1u);
  EXPECT_TRUE(stopped.advices[0].stopped);
  EXPECT_EQ(stopped.advices[0].linesPosted, 1);
  EXPECT_EQ(stopped.advices[0].linesLeft, 1);
  EXPECT_EQ(stopped.advices[0].amountPosted, cents(7000));
  EXPECT_EQ(stoppedText(stopped),
            "Posting was stopped. Posted: 1 line with payments of 70.00. Not posted: 1 line of "
            "the payment with trace number EFT6. Import the same file again to post the rest; "
            "what is posted already is not posted twice.");
  expectJaneOnly(made);
  ASSERT_EQ(listRemittances(*practice_).size(), 1u);
  EXPECT_TRUE(unfinishedImport(listRemittances(*practice_).at(0)));

  const ImportResult finished = import(made.file);
  ASSERT_EQ(finished.refusal, "");
  expectFinishedOnce(made, finished);
}

VANTRELL_ON_BOTH_ENGINES(TwoPatientImport);
VANTRELL_ON_BOTH_ENGINES(RemittanceImport);

}  // namespace
}  // namespace vantrell::remittance
