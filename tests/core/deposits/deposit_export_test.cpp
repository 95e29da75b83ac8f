#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "deposit_fixture.hpp"
#include "deposits/bank_export.hpp"
#include "deposits/deposit_detail.hpp"

namespace vantrell::deposits {
namespace {

class DepositExportOnEngine : public DepositPractice {};

// One record of a bank file as read back: its lines by their leading letter.
struct BankRecord {
  std::string date, amount, payee;
  std::vector<std::string> other;
};

// Reads the file as a bank program would: a header, then records of code
// letter lines each closed by a line holding only "^".
std::vector<BankRecord> readBankFile(const std::filesystem::path& file, std::string& header,
                                     bool& closed) {
  std::ifstream stream(file);
  std::string line;
  std::getline(stream, header);
  std::vector<BankRecord> records;
  BankRecord current;
  closed = true;
  while (std::getline(stream, line)) {
    if (line == "^") {
      records.push_back(current);
      current = BankRecord();
      closed = true;
      continue;
    }
    closed = false;
    if (line.empty()) {
      current.other.push_back(line);
    } else if (line[0] == 'D') {
      current.date = line.substr(1);
    } else if (line[0] == 'T') {
      current.amount = line.substr(1);
    } else if (line[0] == 'P') {
      current.payee = line.substr(1);
    } else {
      current.other.push_back(line);
    }
  }
  return records;
}

TEST_P(DepositExportOnEngine, TheBankFileHoldsTheRangesDepositsAsDateAmountAndPayee) {
  depositRow({{"Deposit Date", "11/30/2026"}, {"Payor Name", "Before"}, {"Payment Amount", "1"}});
  depositRow({{"Deposit Date", "12/02/2026"},
              {"Payor Name", "Medicare"},
              {"Description", "EOB 1"},
              {"Payment Amount", "1234.5"}});
  depositRow({{"Deposit Date", "12/01/2026"},
              {"Payor Name", "Jane Doe"},
              {"Payment Amount", "20"},
              {"Unapplied Amount", "20"}});
  // No payor name: the description stands in.
  depositRow(
      {{"Deposit Date", "12/02/2026"}, {"Description", "Lockbox 7"}, {"Payment Amount", "0.05"}});
  depositRow({{"Deposit Date", "12/04/2026"}, {"Payor Name", "Blue"}, {"Payment Amount", "77.7"}});
  depositRow({{"Deposit Date", "12/05/2026"}, {"Payor Name", "After"}, {"Payment Amount", "3"}});

  const auto file = std::filesystem::temp_directory_path() /
                    ("vantrell-bank-" + std::to_string(::getpid()) + ".qif");
  const std::size_t written =
      writeBankExport(*practice_, Date::fromYmd(2026, 12, 1), Date::fromYmd(2026, 12, 4), file);
  EXPECT_EQ(written, 4U);
  std::string header;
  bool closed = false;
  const auto records = readBankFile(file, header, closed);
  std::filesystem::remove(file);
  EXPECT_EQ(header, "!Type:Bank");
  EXPECT_TRUE(closed) << "the last record lacks its ^";
  ASSERT_EQ(records.size(), 4U);
  const std::vector<std::vector<std::string>> want = {
      {"12/01/2026", "20.00", "Jane Doe"},
      {"12/02/2026", "1234.50", "Medicare"},
      {"12/02/2026", "0.05", "Lockbox 7"},
      {"12/04/2026", "77.70", "Blue"},
  };
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].date, want[i][0]);
    EXPECT_EQ(records[i].amount, want[i][1]);
    EXPECT_EQ(records[i].payee, want[i][2]);
    EXPECT_TRUE(records[i].other.empty());
  }
  // An empty range is the header alone.
  EXPECT_EQ(bankExportText(*practice_, Date::fromYmd(2027, 1, 1), Date::fromYmd(2027, 1, 31)),
            "!Type:Bank\n");
}

TEST_P(DepositExportOnEngine, TheDetailShowsEachPaymentWithWhatItsApplicationRowsApplied) {
  const std::int64_t deposit = depositRow({{"Deposit Date", "12/01/2026"},
                                           {"Payor Type", "Insurance"},
                                           {"Insurance Code", "MC"},
                                           {"Payment Amount", "100"}});
  const std::int64_t split = paymentRow(deposit, "I", "-60");
  const std::int64_t partly = paymentRow(deposit, "I", "-30");
  const std::int64_t unapplied = paymentRow(deposit, "I", "-10");
  const std::int64_t adjustment = paymentRow(deposit, "T", "-15");
  const std::int64_t otherDeposit = paymentRow(deposit + 1, "I", "-99");
  auto application = [&](std::int64_t payment, const char* charge, const char* amount,
                         std::int64_t depositId) {
    insert("QVPAX", {{"Payment Reference", std::to_string(payment)},
                     {"Charge Reference", charge},
                     {"Payment Amount", amount},
                     {"Who Paid", "1"},
                     {"Deposit ID", std::to_string(depositId)}});
  };
  application(split, "1", "-40", deposit);
  application(split, "2", "-20", deposit);
  application(partly, "1", "-12.5", deposit);
  application(adjustment, "1", "-15", deposit);
  application(otherDeposit, "1", "-99", deposit + 1);

  const auto lines = depositDetail(*practice_, deposit);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].entryNumber, split);
  EXPECT_EQ(lines[0].amount, Money::fromCents(-6000));
  EXPECT_EQ(lines[0].applied, Money::fromCents(-6000));
  EXPECT_EQ(lines[1].entryNumber, partly);
  EXPECT_EQ(lines[1].applied, Money::fromCents(-1250));
  EXPECT_EQ(lines[2].entryNumber, unapplied);
  EXPECT_EQ(lines[2].applied, Money());
  EXPECT_EQ(lines[2].chartNumber, "DOEJA000");
  EXPECT_EQ(lines[2].whoPaid, "1");
  EXPECT_TRUE(depositDetail(*practice_, deposit + 7).empty());
}

VANTRELL_ON_BOTH_ENGINES(DepositExportOnEngine);

}  // namespace
}  // namespace vantrell::deposits
