#include "claims/claim_list.hpp"

#include <charconv>

#include "claims/claim_slots.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::claims {

const char* const claimManagementSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Management";
const char* const excludeDoneValue = "Exclude Done";

namespace {

// Named filters share the saved-defaults table, under a table name no real
// table has, so that new claim rows never pick them up as defaults.
constexpr const char* namedFilterTable = "QVCLAFLT";
constexpr std::size_t namedFilterWidth = 70;
constexpr std::size_t namedFilterNameWidth = 40;
constexpr std::int64_t walkInOrderAbove = 2000;

std::string literal(std::string value) {
  // A literal cannot hold both quotes; the double ones go.
  if (value.find('"') != std::string::npos && value.find('\'') != std::string::npos)
    std::erase(value, '"');
  const char quote = value.find('"') == std::string::npos ? '"' : '\'';
  return quote + value + quote;
}

std::string typedCode(const std::string& text) {
  return store::upperAscii(store::trimRight(text));
}

std::string dateLiteral(const Date& date) {
  return "CTOD('" + date.toMonthDayYear() + "')";
}

std::string billingDateField(int slot) {
  return claimSlotFields(slot).billingDate;
}

// One comparison for slot n, or for any of the three when slot is 0.
template <typename Condition>
std::string perSlot(int slot, Condition condition) {
  if (slot != 0) return condition(slot);
  return "(" + condition(1) + " OR " + condition(2) + " OR " + condition(3) + ")";
}

// Splits the stored form of a named filter at its separators.
std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

const char* claimTableName(bool estimate) {
  return estimate ? "QVCLAE" : "QVCLA";
}

const char* ledgerTableName(bool estimate) {
  return estimate ? "QVTRNE" : "QVTRN";
}

std::string claimFilterExpression(const ClaimFilter& filter) {
  return claimFilterExpression(filter, CarrierLookup::ByTag);
}

std::string claimFilterExpression(const ClaimFilter& filter, CarrierLookup carrierLookup) {
  std::vector<std::string> conditions;
  const int slot = filter.slot;
  // "+ ''" leaves the value as it is but is not the expression the carrier
  // tags are built on, so the engine walks the claims in order instead.
  const std::string carrierTail = carrierLookup == CarrierLookup::InOrder ? " + ''" : "";
  if (!typedCode(filter.chartNumber).empty())
    conditions.push_back("UPPER(Chart Number) = " + literal(typedCode(filter.chartNumber)));
  if (!filter.dateCreated.isEmpty())
    conditions.push_back("Date Created = " + dateLiteral(filter.dateCreated));
  if (const std::string carrier = typedCode(filter.carrier); !carrier.empty()) {
    conditions.push_back(perSlot(slot, [&](int n) {
      return "UPPER(" + claimSlotFields(n).carrier + carrierTail + ") = " + literal(carrier);
    }));
  }
  if (const std::string receiver = typedCode(filter.receiver); !receiver.empty()) {
    conditions.push_back(perSlot(slot, [&](int n) {
      return "UPPER(" + claimSlotFields(n).receiver + ") = " + literal(receiver);
    }));
  }
  if (!filter.billingMethod.empty()) {
    conditions.push_back(perSlot(slot, [&](int n) {
      return claimSlotFields(n).billingMethod + " = " + literal(filter.billingMethod);
    }));
  }
  if (!filter.status.empty()) {
    conditions.push_back(perSlot(
        slot, [&](int n) { return claimSlotFields(n).status + " = " + literal(filter.status); }));
  }
  if (!filter.billingDate.isEmpty()) {
    conditions.push_back(perSlot(slot, [&](int n) {
      return billingDateField(n) + " = " + dateLiteral(filter.billingDate);
    }));
  }
  if (filter.batch) {
    conditions.push_back(perSlot(slot, [&](int n) {
      return claimSlotFields(n).batch + " = " + std::to_string(*filter.batch);
    }));
  }
  // Only with every status listed: a claim goes when each slot looked at is Done.
  if (filter.excludeDone && filter.status.empty()) {
    const std::string done = literal(std::string(claim_status::done));
    conditions.push_back(
        perSlot(slot, [&](int n) { return claimSlotFields(n).status + " <> " + done; }));
  }
  std::string expression;
  for (const auto& condition : conditions) {
    if (!expression.empty()) expression += " AND ";
    expression += condition;
  }
  return expression;
}

std::string encodeClaimFilter(const ClaimFilter& filter) {
  const std::vector<std::string> parts = {
      typedCode(filter.chartNumber),
      filter.dateCreated.toIso(),
      std::to_string(filter.slot),
      typedCode(filter.carrier),
      typedCode(filter.receiver),
      filter.billingMethod,
      filter.status,
      filter.billingDate.toIso(),
      filter.batch ? std::to_string(*filter.batch) : std::string(),
      filter.excludeDone ? "1" : "0"};
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += '|';
    text += parts[i];
  }
  return text;
}

std::optional<ClaimFilter> decodeClaimFilter(const std::string& text) {
  const auto parts = split(text, '|');
  if (parts.size() != 10) return std::nullopt;
  ClaimFilter filter;
  filter.chartNumber = parts[0];
  const auto created = Date::parse(parts[1]);
  const auto billed = Date::parse(parts[7]);
  if (!created || !billed) return std::nullopt;
  filter.dateCreated = *created;
  filter.billingDate = *billed;
  if (parts[2].size() != 1 || parts[2][0] < '0' || parts[2][0] > '3') return std::nullopt;
  filter.slot = parts[2][0] - '0';
  filter.carrier = parts[3];
  filter.receiver = parts[4];
  filter.billingMethod = parts[5];
  filter.status = parts[6];
  if (!parts[8].empty()) {
    std::int64_t batch = 0;
    const auto* end = parts[8].data() + parts[8].size();
    const auto [at, error] = std::from_chars(parts[8].data(), end, batch);
    if (error != std::errc() || at != end) return std::nullopt;
    filter.batch = batch;
  }
  filter.excludeDone = parts[9] == "1";
  return filter;
}

ClaimListRow claimListRow(const store::Record& claim) {
  ClaimListRow row;
  row.claimNumber = claim.integer("Claim Number");
  row.chartNumber = claim.text("Chart Number");
  for (int n = 1; n <= slotCount; ++n) {
    const ClaimSlotFields fields = claimSlotFields(n);
    ClaimSlotColumns& slot = row.slots[static_cast<std::size_t>(n - 1)];
    slot.carrier = claim.text(fields.carrier);
    if (!slot.carrier.empty()) {
      slot.status = std::string(claimStatusLabel(claim.text(fields.status)));
      slot.medium = std::string(billingMediumLabel(claim.text(fields.billingMethod)));
    }
    slot.batch = claim.integer(fields.batch);
    slot.billingDate = claim.date(fields.billingDate);
    slot.receiver = claim.text(fields.receiver);
  }
  row.provider = claim.text("Provider");
  row.dateCreated = claim.date("Date Created");
  return row;
}

ClaimList::ClaimList(store::Connection& practice, ui::Prompter& prompter, ui::Settings& settings,
                     bool estimate)
    : practice_(practice),
      prompter_(prompter),
      settings_(settings),
      estimate_(estimate),
      claims_((store::ensureTable(practice, claimTableName(estimate)),
               practice.openTable(claimTableName(estimate)))) {
  claims_.setOrder("Primary");
  // The list opens as this user left Exclude Done; opening writes nothing.
  filter_.excludeDone = filterDialogPreset().excludeDone;
  useFilter(filter_);
}

std::string ClaimList::title() const {
  return estimate_ ? "Claim Management - Pretreatment Plan/Estimate" : "Claim Management";
}

ClaimFilter ClaimList::filterDialogPreset() const {
  ClaimFilter preset = filter_;
  const auto remembered = settings_.read(claimManagementSettingsKey, excludeDoneValue);
  if (remembered) preset.excludeDone = *remembered == "1";
  return preset;
}

void ClaimList::useFilter(const ClaimFilter& filter) {
  CarrierLookup lookup = CarrierLookup::ByTag;
  if (!typedCode(filter.carrier).empty()) {
    // A carrier on many claims fills the first page sooner by walking the
    // claims in number order than by gathering all of its claims from the
    // carrier tags and sorting them; the tags answer how many there are.
    ClaimFilter carrierOnly;
    carrierOnly.slot = filter.slot;
    carrierOnly.carrier = filter.carrier;
    claims_.setFilter(claimFilterExpression(carrierOnly));
    if (claims_.count() > walkInOrderAbove) lookup = CarrierLookup::InOrder;
  }
  const std::string expression = claimFilterExpression(filter, lookup);
  if (expression.empty())
    claims_.clearFilter();
  else
    claims_.setFilter(expression);
  filter_ = filter;
  restart();
}

void ClaimList::applyFilter(const ClaimFilter& filter) {
  useFilter(filter);
  settings_.write(claimManagementSettingsKey, excludeDoneValue, filter.excludeDone ? "1" : "0");
}

bool ClaimList::sortBy(const std::string& column) {
  std::string field;
  if (column == "Claim Number" || column == "Chart Number" || column == "Provider" ||
      column == "Date Created")
    field = column;
  for (int n = 1; n <= slotCount && field.empty(); ++n) {
    const std::string suffix = " " + std::to_string(n);
    const ClaimSlotFields fields = claimSlotFields(n);
    if (column == "Carrier" + suffix) field = fields.carrier;
    // The label column sorts by the code behind it.
    if (column == "Status" + suffix) field = fields.status;
    if (column == "Batch" + suffix) field = fields.batch;
    if (column == "Billing Date" + suffix) field = fields.billingDate;
    if (column == "EDI Receiver" + suffix) field = fields.receiver;
  }
  if (field.empty()) {
    prompter_.error("You cannot sort the grid by this field.");
    return false;
  }
  descending_ = column == sortedBy_ && !descending_;
  sortedBy_ = column;
  if (field == "Claim Number")
    claims_.setOrder("Primary");
  else
    claims_.setOrderByFields({field});
  restart();
  return true;
}

std::vector<store::Record> ClaimList::nextRecords(std::size_t limit) {
  return claims_.nextPage(cursor_, limit);
}

std::vector<ClaimListRow> ClaimList::nextPage(std::size_t limit) {
  std::vector<ClaimListRow> rows;
  for (const auto& claim : nextRecords(limit)) rows.push_back(claimListRow(claim));
  return rows;
}

void ClaimList::restart() {
  cursor_ = store::PageCursor(descending_ ? store::PageCursor::Direction::Descending
                                          : store::PageCursor::Direction::Ascending);
}

std::int64_t ClaimList::claimCount() {
  return claims_.count();
}

std::vector<std::string> ClaimList::namedFilters() {
  std::vector<std::string> names;
  if (!practice_.tableExists("QVDEF")) return names;
  store::Table saved = practice_.openTable("QVDEF");
  saved.setOrder("Primary");
  saved.setRange({store::Value{std::string(namedFilterTable)}},
                 {store::Value{std::string(namedFilterTable)}});
  saved.forEach([&](const store::Record& row) { names.push_back(row.text("Field")); });
  return names;
}

bool ClaimList::saveNamedFilter(const std::string& name, const ClaimFilter& filter) {
  const std::string trimmedName(store::trimRight(name));
  const std::string text = encodeClaimFilter(filter);
  const bool separatorTyped = split(text, '|').size() != 10;
  if (trimmedName.empty() || trimmedName.size() > namedFilterNameWidth ||
      text.size() > namedFilterWidth || separatorTyped) {
    prompter_.error("This filter cannot be saved under that name.");
    return false;
  }
  store::ensureTable(practice_, "QVDEF");
  store::Table saved = practice_.openTable("QVDEF");
  saved.setOrder("Primary");
  auto existing = saved.seek(
      {store::Value{std::string(namedFilterTable)}, store::Value{store::upperAscii(trimmedName)}});
  if (existing) {
    saved.edit(*existing);
    existing->set("Default", text);
    saved.post(*existing);
    return true;
  }
  store::Record row = saved.newRecord();
  row.set("Table", std::string(namedFilterTable));
  row.set("Field", trimmedName);
  row.set("Default", text);
  saved.append(row);
  return true;
}

std::optional<ClaimFilter> ClaimList::namedFilter(const std::string& name) {
  if (!practice_.tableExists("QVDEF")) return std::nullopt;
  store::Table saved = practice_.openTable("QVDEF");
  saved.setOrder("Primary");
  auto row = saved.seek({store::Value{std::string(namedFilterTable)},
                         store::Value{store::upperAscii(store::trimRight(name))}});
  if (!row) return std::nullopt;
  return decodeClaimFilter(row->text("Default"));
}

void ClaimList::deleteNamedFilter(const std::string& name) {
  if (!practice_.tableExists("QVDEF")) return;
  store::Table saved = practice_.openTable("QVDEF");
  saved.setOrder("Primary");
  auto row = saved.seek({store::Value{std::string(namedFilterTable)},
                         store::Value{store::upperAscii(store::trimRight(name))}});
  if (row) saved.remove(*row);
}

}  // namespace vantrell::claims
