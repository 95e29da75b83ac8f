#include "claims/claim_creation.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "claims/claim_slots.hpp"
#include "security/security.hpp"
#include "store/dialect.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"

namespace vantrell::claims {

namespace {

std::string identifier(std::string_view name) {
  return store::Dialect::quoteIdentifier(name);
}

std::string textOf(const store::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

std::int64_t integerOf(const store::Value& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
  return 0;
}

Money moneyOf(const store::Value& value) {
  if (const auto* money = std::get_if<Money>(&value)) return *money;
  if (const auto* real = std::get_if<double>(&value)) return Money::fromDouble(*real);
  if (const auto* number = std::get_if<std::int64_t>(&value))
    return Money::fromTenThousandths(*number * Money::scale);
  return {};
}

// The pieces of a criterion list: split at commas, empty pieces skipped, blanks kept.
std::set<std::string> listPieces(const std::string& list) {
  std::set<std::string> pieces;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    if (comma > start) pieces.insert(list.substr(start, comma - start));
    start = comma + 1;
  }
  return pieces;
}

// One unbilled charge as the selection reads it.
struct Charge {
  std::vector<store::Value> lockKey;  // the values that name its record lock
  std::int64_t entry = 0;
  std::string chart;
  std::int64_t caseNumber = 0;
  std::string attending;
  std::array<std::string, 4> diagnoses;
  Money amount;
};

struct CaseOnFile {
  std::array<std::string, 3> carriers;
  std::string billingCode;
  std::string indicator;
  std::string assignedProvider;
};

struct Carrier {
  std::string receiver;
  std::string defaultBillingMethod;
};

bool sameGroup(const Charge& a, const Charge& b, bool attending) {
  return a.chart == b.chart && a.caseNumber == b.caseNumber && a.diagnoses == b.diagnoses &&
         (!attending || a.attending == b.attending);
}

class ClaimCreationRun {
 public:
  ClaimCreationRun(const ClaimCreationContext& context, const ClaimCriteria& criteria)
      : context_(context),
        criteria_(criteria),
        attending_(criteria.providerMode == ProviderMode::Attending),
        ledger_(context.practice.openTable(context.estimate ? "QVTRNE" : "QVTRN")),
        claims_(context.practice.openTable(context.estimate ? "QVCLAE" : "QVCLA")) {}

  ClaimCreationResult run() {
    readCases();
    readCarriers();
    readReceivers();
    const std::vector<Charge> charges = selectCharges();
    ui::Progress* progress = context_.progress;
    if (progress != nullptr)
      progress->begin("Creating Claims", static_cast<std::int64_t>(charges.size()));
    std::size_t first = 0;
    while (first < charges.size()) {
      std::size_t end = first + 1;
      while (end < charges.size() && sameGroup(charges[first], charges[end], attending_)) ++end;
      billGroup(charges, first, end);
      first = end;
      if (progress != nullptr && !progress->advance(static_cast<std::int64_t>(first))) {
        result_.aborted = true;
        break;
      }
    }
    if (progress != nullptr) progress->end();
    return std::move(result_);
  }

 private:
  store::Connection& practice() { return context_.practice; }

  // The cases that pass the case criteria, over the same chart range.
  void readCases() {
    const auto carriers = listPieces(criteria_.primaryInsurance);
    const auto billingCodes = listPieces(criteria_.billingCodes);
    const auto indicators = listPieces(criteria_.caseIndicators);
    const auto providers = listPieces(criteria_.provider);
    std::string sql =
        "SELECT \"Chart Number\", \"Case Number\", \"Insurance Carrier #1\", "
        "\"Insurance Carrier #2\", \"Insurance Carrier #3\", \"Billing Code\", \"Indicator 1\", "
        "\"Assigned Provider\", \"Cash Case\" FROM \"QVCAS\" WHERE 1 = 1";
    std::vector<store::Value> parameters;
    if (!criteria_.fromChart.empty()) {
      sql += " AND \"Chart Number\" >= ?";
      parameters.emplace_back(criteria_.fromChart);
    }
    if (!criteria_.toChart.empty()) {
      std::string padded = criteria_.toChart;
      if (padded.size() < 8) padded.append(8 - padded.size(), 'z');
      sql += " AND \"Chart Number\" <= ?";
      parameters.emplace_back(padded);
    }
    using store::FieldType;
    auto rows = practice().driver().query(sql, parameters);
    while (rows->next()) {
      const std::string chart = textOf(rows->column(0, FieldType::Character));
      const std::int64_t number = integerOf(rows->column(1, FieldType::Integer));
      CaseOnFile found;
      for (std::size_t slot = 0; slot < 3; ++slot)
        found.carriers[slot] = textOf(rows->column(2 + slot, FieldType::Character));
      found.billingCode = textOf(rows->column(5, FieldType::Character));
      found.indicator = textOf(rows->column(6, FieldType::Character));
      found.assignedProvider = textOf(rows->column(7, FieldType::Character));
      const store::Value cashCase = rows->column(8, FieldType::Logical);
      if (const bool* cash = std::get_if<bool>(&cashCase); cash != nullptr && *cash) continue;
      if (!carriers.empty() && carriers.count(found.carriers[0]) == 0) continue;
      if (!billingCodes.empty() && billingCodes.count(found.billingCode) == 0) continue;
      if (!indicators.empty() && indicators.count(found.indicator) == 0) continue;
      if (!attending_ && !providers.empty() && providers.count(found.assignedProvider) == 0)
        continue;
      cases_.emplace(std::make_pair(chart, number), std::move(found));
    }
  }

  void readCarriers() {
    store::Table table = practice().openTable("QVINS");
    table.forEach([this](store::Record& row) {
      carriers_[row.text("Code")] = {row.text("EMC Receiver"), row.text("Default Billing Method")};
    });
  }

  void readReceivers() {
    store::Table table = practice().openTable("QVECR");
    table.forEach([this](store::Record& row) {
      receiverLimits_[row.text("Code")] = row.integer("Maximum Transactions");
    });
  }

  // The one ordered read of the ledger.
  std::vector<Charge> selectCharges() {
    const auto keyFields = ledger_.lockKeyFields();
    const auto& definition = ledger_.definition();
    std::vector<std::string> columns = {
        "Entry Number",       "Chart Number",     "Case Number",
        "Attending Provider", "Diagnosis Code 1", "Diagnosis Code 2",
        "Diagnosis Code 3",   "Diagnosis Code 4", "Amount"};
    columns.insert(columns.end(), keyFields.begin(), keyFields.end());
    std::string select;
    for (const auto& column : columns) select += (select.empty() ? "" : ", ") + identifier(column);
    std::string sql = "SELECT " + select + " FROM " + identifier(definition.name()) +
                      " WHERE COALESCE(\"Claim Number\", 0) < 1"
                      " AND (\"Insurance 1 Responsible\" = ? OR \"Insurance 2 Responsible\" = ?"
                      " OR \"Insurance 3 Responsible\" = ?) AND \"Transaction Type\" < ?";
    std::vector<store::Value> parameters = {store::Value{true}, store::Value{true},
                                            store::Value{true}, store::Value{std::string("H")}};
    const auto bound = [&](const char* condition, store::Value value) {
      sql += condition;
      parameters.push_back(std::move(value));
    };
    if (!criteria_.fromChart.empty()) bound(" AND \"Chart Number\" >= ?", criteria_.fromChart);
    if (!criteria_.toChart.empty()) bound(" AND \"Chart Number\" <= ?", criteria_.toChart);
    if (!criteria_.fromDate.isEmpty()) bound(" AND \"Date From\" >= ?", criteria_.fromDate);
    if (!criteria_.toDate.isEmpty()) bound(" AND \"Date From\" <= ?", criteria_.toDate);
    if (!criteria_.location.empty()) bound(" AND \"Place of Service\" = ?", criteria_.location);
    if (attending_ && !criteria_.provider.empty())
      bound(" AND \"Attending Provider\" = ?", criteria_.provider);
    // Empty and missing codes sort and group alike on both engines.
    sql += " ORDER BY \"Chart Number\", \"Case Number\"";
    if (attending_) sql += ", COALESCE(\"Attending Provider\", '')";
    for (int code = 1; code <= 4; ++code)
      sql += fmt::format(", COALESCE(\"Diagnosis Code {}\", '')", code);
    sql += ", \"Entry Number\"";

    std::vector<store::FieldType> types;
    for (const auto& column : columns)
      types.push_back(definition.field(*definition.fieldIndex(column)).type);
    std::vector<Charge> charges;
    auto rows = practice().driver().query(sql, parameters);
    while (rows->next()) {
      Charge charge;
      charge.entry = integerOf(rows->column(0, types[0]));
      charge.chart = textOf(rows->column(1, types[1]));
      charge.caseNumber = integerOf(rows->column(2, types[2]));
      charge.attending = textOf(rows->column(3, types[3]));
      for (std::size_t code = 0; code < 4; ++code)
        charge.diagnoses[code] = textOf(rows->column(4 + code, types[4 + code]));
      charge.amount = moneyOf(rows->column(8, types[8]));
      for (std::size_t key = 9; key < columns.size(); ++key)
        charge.lockKey.push_back(rows->column(key, types[key]));
      charges.push_back(std::move(charge));
    }
    return charges;
  }

  // Closes the group [first, end): one claim, or ceil(n / limit) claims under a
  // receiver limit, each piece billed only when the rows left total above the minimum.
  void billGroup(const std::vector<Charge>& charges, std::size_t first, std::size_t end) {
    std::size_t position = first;
    while (position < end) {
      Money total;
      for (std::size_t row = position; row < end; ++row)
        total = (total + charges[row].amount).roundedToCents();
      if (total <= criteria_.minimum) return;
      const Charge& head = charges[position];
      const auto found = cases_.find({head.chart, head.caseNumber});
      if (found == cases_.end()) return;
      const CaseOnFile& onFile = found->second;
      if (onFile.carriers[0].empty() && onFile.carriers[1].empty() && onFile.carriers[2].empty())
        return;
      std::int64_t limit = 0;
      store::Record claim = newClaim(head, onFile, limit);
      position = stampPiece(charges, position, end, claim, limit);
    }
  }

  store::Record newClaim(const Charge& head, const CaseOnFile& onFile, std::int64_t& limit) {
    store::Record claim = claims_.newRecord();
    for (int slot = 1; slot <= slotCount; ++slot) {
      const ClaimSlotFields fields = claimSlotFields(slot);
      claim.set(fields.batch, store::Value{std::int64_t{0}});
      claim.set(fields.submissionCount, store::Value{std::int64_t{0}});
      claim.set(fields.status, store::Value{std::string(claim_status::done)});
    }
    claim.set("Date Created", store::Value{practice().clock().today()});
    claim.set("Chart Number", store::Value{head.chart});
    claim.set("Case Number", store::Value{head.caseNumber});
    claim.set("Billing Code", store::Value{onFile.billingCode});
    claim.set("Indicator 1", store::Value{onFile.indicator});
    claim.set("Provider", store::Value{attending_ ? head.attending : onFile.assignedProvider});
    for (std::size_t code = 0; code < 4; ++code)
      claim.set(fmt::format("Diagnosis Code {}", code + 1), store::Value{head.diagnoses[code]});
    limit = 0;
    for (int slot = 1; slot <= slotCount; ++slot) {
      const std::string& code = onFile.carriers[static_cast<std::size_t>(slot - 1)];
      if (code.empty()) continue;
      const ClaimSlotFields fields = claimSlotFields(slot);
      claim.set(fields.carrier, store::Value{code});
      const auto carrier = carriers_.find(code);
      const Carrier known = carrier == carriers_.end() ? Carrier{} : carrier->second;
      claim.set(fields.receiver, store::Value{known.receiver});
      std::string_view method = billing_method::paper;
      // Only carrier 1 is billed electronically, and never for an estimate.
      if (slot == 1 && !context_.estimate && known.defaultBillingMethod != "Paper")
        method = billing_method::electronic;
      claim.set(fields.billingMethod, store::Value{std::string(method)});
      claim.set(fields.status, store::Value{std::string(claim_status::readyToSend)});
      if (slot == 1 && !known.receiver.empty()) {
        const auto receiver = receiverLimits_.find(known.receiver);
        if (receiver != receiverLimits_.end()) limit = std::max<std::int64_t>(receiver->second, 0);
      }
    }
    const std::string user = userCode();
    if (!user.empty()) claim.set("User Code", store::Value{user});
    return claim;
  }

  std::string userCode() const {
    if (context_.security != nullptr && context_.security->loggedIn())
      return context_.security->userCode();
    return context_.practice.userCode();
  }

  // Writes the claim and stamps its charges from `position` on, in one
  // transaction; returns where the next piece starts. A charge another
  // workstation holds, or one already on a claim, is passed over.
  std::size_t stampPiece(const std::vector<Charge>& charges, std::size_t position, std::size_t end,
                         store::Record& claim, std::int64_t limit) {
    store::Transaction transaction(practice());
    claims_.append(claim);
    const std::int64_t number = claim.integer("Claim Number");
    std::vector<std::shared_ptr<store::RecordLock>> held;
    std::int64_t stamped = 0;
    while (position < end && (limit == 0 || stamped < limit)) {
      // The next batch: as many rows as the limit still allows.
      std::vector<std::int64_t> entries;
      const std::size_t wanted =
          limit == 0 ? end - position : static_cast<std::size_t>(limit - stamped);
      while (position < end && entries.size() < std::min<std::size_t>(wanted, stampBatch)) {
        const Charge& charge = charges[position++];
        try {
          held.push_back(ledger_.lockRow(charge.lockKey));
          entries.push_back(charge.entry);
        } catch (const store::RecordInUseError&) {
          ++result_.chargesInUse;
        }
      }
      if (entries.empty()) continue;
      const std::int64_t done = stamp(number, entries);
      result_.chargesClaimedMeanwhile += static_cast<std::int64_t>(entries.size()) - done;
      stamped += done;
    }
    if (stamped == 0) {
      transaction.rollback();
      return position;
    }
    transaction.commit();
    result_.claims.push_back(number);
    result_.chargesStamped += stamped;
    return position;
  }

  // One write by key for a batch of charges; counts those whose Claim Number
  // was still unset.
  std::int64_t stamp(std::int64_t claimNumber, const std::vector<std::int64_t>& entries) {
    std::string sql =
        "UPDATE " + identifier(ledger_.definition().name()) +
        " SET \"Claim Number\" = ?, \"Date Modified\" = ? WHERE \"Entry Number\" IN (";
    std::vector<store::Value> parameters = {store::Value{claimNumber},
                                            store::Value{practice().clock().now()}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
      sql += i == 0 ? "?" : ", ?";
      parameters.emplace_back(entries[i]);
    }
    sql += ") AND COALESCE(\"Claim Number\", 0) < 1";
    return practice().driver().execute(sql, parameters);
  }

  static constexpr std::size_t stampBatch = 200;

  const ClaimCreationContext& context_;
  const ClaimCriteria& criteria_;
  const bool attending_;
  store::Table ledger_;
  store::Table claims_;
  std::map<std::pair<std::string, std::int64_t>, CaseOnFile> cases_;
  std::map<std::string, Carrier> carriers_;
  std::map<std::string, std::int64_t> receiverLimits_;
  ClaimCreationResult result_;
};

}  // namespace

bool primaryInsuranceListIsValid(const std::string& list) {
  std::string rest = list;
  while (rest.size() >= 6 && rest.find(',') != std::string::npos) {
    const std::size_t comma = rest.find(',');
    if (comma > 5) return false;
    rest.erase(0, comma + 1);
  }
  return rest.size() <= 5;
}

ClaimCriteriaDialog::ClaimCriteriaDialog(ui::Settings& settings, ui::Prompter& prompter)
    : settings_(settings), prompter_(prompter) {
  const auto stored = settings_.read(claimCreateSettingsKey, attendingProviderValue);
  criteria_.providerMode =
      stored && *stored == "1" ? ProviderMode::Attending : ProviderMode::Assigned;
}

void ClaimCriteriaDialog::setProviderMode(ProviderMode mode) {
  criteria_.providerMode = mode;
  settings_.write(claimCreateSettingsKey, attendingProviderValue,
                  mode == ProviderMode::Attending ? "1" : "0");
}

void ClaimCriteriaDialog::setProvider(const std::string& text) {
  std::string upper = text;
  for (auto& letter : upper)
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  criteria_.provider = upper;
}

ClaimCriteriaDialog::Field ClaimCriteriaDialog::confirm() {
  if (!criteria_.fromDate.isEmpty() && !criteria_.toDate.isEmpty() &&
      criteria_.toDate < criteria_.fromDate) {
    prompter_.error(
        "A date entered is not correct.  Enter a valid date\n"
        "and make sure that the TO date is on or after the FROM date.");
    return Field::ToDate;
  }
  if (!criteria_.toChart.empty() && criteria_.toChart < criteria_.fromChart) {
    prompter_.error(
        "The TO Chart Number is not correct.  Enter a number that\n"
        "is \"alphabetically greater\" than the FROM Chart Number.");
    return Field::ToChart;
  }
  if (!primaryInsuranceListIsValid(criteria_.primaryInsurance)) {
    prompter_.error("Each insurance code must be 5 (or less) characters.");
    return Field::PrimaryInsurance;
  }
  return Field::None;
}

std::string noNewClaimsText() {
  return "No new claims were created. If you expected some to be created, check the following "
         "items:\n\n"
         "1. The patient's case needs at least one insurance carrier.\n\n"
         "2. The filter used to select transactions for claim creation\n"
         "may be excluding all transactions that are eligible to be\n"
         "placed on a claim.\n\n"
         "3. The transaction needs at least one insurance carrier that\n"
         "is responsible for payment.";
}

std::string chargesInUseText(std::int64_t count) {
  return count == 1 ? "1 transaction was in use at another workstation and was not placed on a "
                      "claim.  Create Claims again later to bill it."
                    : fmt::format(
                          "{} transactions were in use at another workstation and were "
                          "not placed on a claim.  Create Claims again later to bill them.",
                          count);
}

ClaimCreationResult createClaims(const ClaimCreationContext& context,
                                 const ClaimCriteria& criteria) {
  if (context.security != nullptr &&
      !context.security->hasPermission(createClaimsPermission, true)) {
    ClaimCreationResult refused;
    refused.permitted = false;
    return refused;
  }
  ClaimCreationResult result = ClaimCreationRun(context, criteria).run();
  if (result.chargesStamped == 0 && !result.aborted)
    context.prompter.inform(noNewClaimsText(), "Information");
  if (result.chargesInUse > 0)
    context.prompter.inform(chargesInUseText(result.chargesInUse), "Information");
  return result;
}

}  // namespace vantrell::claims
