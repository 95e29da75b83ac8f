#include "reference/price_lookup.hpp"

#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::reference {

std::optional<store::Record> findProcedureCode(store::Connection& practice,
                                               const std::string& code) {
  if (!practice.tableExists("QVPRO")) return std::nullopt;
  store::Table codes = practice.openTable("QVPRO");
  codes.setOrder("Primary");
  return codes.seek({store::Value{code}});
}

char casePriceCode(store::Record& caseRecord) {
  const std::string code = caseRecord.text("Price Code");
  if (store::trimRight(code).empty()) {
    caseRecord.set("Price Code", std::string("A"));
    return 'A';
  }
  return code[0];
}

Money priceOf(const store::Record& procedure, char priceCode) {
  if (priceCode < 'A' || priceCode > 'Z') return Money{};
  return procedure.money(std::string("Amount ") + priceCode);
}

Money lineAmount(Money price, double units, bool multiplyUnitsTimesAmount) {
  return (multiplyUnitsTimesAmount ? price.times(units) : price).roundedToCents();
}

std::string joinedModifiers(const std::array<std::string, 4>& modifiers) {
  std::string joined;
  for (const auto& modifier : modifiers) joined += std::string(store::trimRight(modifier));
  return joined;
}

std::optional<Money> allowedAmount(store::Connection& practice, const std::string& carrier,
                                   const std::string& procedure, const std::string& modifiers) {
  if (!practice.tableExists("QVALL")) return std::nullopt;
  store::Table allowed = practice.openTable("QVALL");
  allowed.setOrder("Primary");
  const auto row =
      allowed.seek({store::Value{carrier}, store::Value{procedure}, store::Value{modifiers}});
  if (!row) return std::nullopt;
  return row->money("Amount");
}

}  // namespace vantrell::reference
