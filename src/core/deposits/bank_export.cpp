#include "deposits/bank_export.hpp"

#include <fstream>
#include <stdexcept>

#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::deposits {
namespace {

std::string trimmed(std::string_view text) {
  return std::string(store::trimRight(text));
}

// A line break or caret inside a payee would start a record of its own.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '^') c = ' ';
  }
  return trimmed(text);
}

struct Export {
  std::string text;
  std::size_t count = 0;
};

Export buildExport(store::Connection& practice, const Date& from, const Date& to) {
  store::ensureTable(practice, "QVDEP");
  store::Table deposits = practice.openTable("QVDEP");
  deposits.setOrderByFields({"Deposit Date", "Entry Number"});
  deposits.setRange({store::Value{from}}, {store::Value{to}});
  Export out;
  out.text = "!Type:Bank\n";
  deposits.forEach([&](const store::Record& deposit) {
    std::string payee = oneLine(deposit.text("Payor Name"));
    if (payee.empty()) payee = oneLine(deposit.text("Description"));
    out.text += "D" + deposit.date("Deposit Date").toMonthDayYear() + "\n";
    out.text += "T" + deposit.money("Payment Amount").roundedToCents().toString() + "\n";
    out.text += "P" + payee + "\n";
    out.text += "^\n";
    ++out.count;
  });
  return out;
}

}  // namespace

std::string bankExportText(store::Connection& practice, const Date& from, const Date& to) {
  return buildExport(practice, from, to).text;
}

std::size_t writeBankExport(store::Connection& practice, const Date& from, const Date& to,
                            const std::filesystem::path& file) {
  const Export out = buildExport(practice, from, to);
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream << out.text;
  stream.close();
  if (!stream)
    throw std::runtime_error("The bank file " + file.string() + " could not be written.");
  return out.count;
}

}  // namespace vantrell::deposits
