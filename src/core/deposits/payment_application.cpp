#include "deposits/payment_application.hpp"

#include <algorithm>
#include <set>
#include <stdexcept>

#include <fmt/format.h>

#include "claims/claim_slots.hpp"
#include "common/code_sets.hpp"
#include "reference/price_lookup.hpp"
#include "statements/statement_rules.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "store/trigger_switch.hpp"
#include "transactions/balances.hpp"
#include "transactions/ledger_posting.hpp"
#include "transactions/working_set.hpp"

namespace vantrell::deposits {
namespace {

std::string trimmed(const std::string& text) {
  return std::string(store::trimRight(text));
}

bool sameCode(const std::string& a, const std::string& b) {
  return store::upperAscii(trimmed(a)) == store::upperAscii(trimmed(b));
}

Money negative(Money typed) {
  return -typed.abs();
}

const char* positionWord(int position) {
  return position == 1 ? "primary" : position == 2 ? "secondary" : "tertiary";
}

std::string modifiersOf(const store::Record& charge) {
  std::array<std::string, 4> modifiers;
  for (std::size_t i = 0; i < 4; ++i) modifiers[i] = charge.text(fmt::format("Modifier {}", i + 1));
  return reference::joinedModifiers(modifiers);
}

// A transaction code as the save may use it: none when it cannot be found
// or the clerk would rather not use an inactive one.
struct UsableCode {
  std::string code;
  std::optional<store::Record> row;
};

}  // namespace

PaymentApplicationWindow::PaymentApplicationWindow(Surroundings surroundings,
                                                   std::int64_t depositEntry)
    : context_(std::move(surroundings)), deposit_([&] {
        store::Table deposits = surroundings.practice.openTable("QVDEP");
        deposits.setOrder("IdxEntryNumber");
        auto row = deposits.seek({store::Value{depositEntry}});
        if (!row) throw std::invalid_argument(fmt::format("No deposit {}.", depositEntry));
        return *row;
      }()) {
  insurance_ = store::equalsIgnoringCase(trimmed(deposit_.text("Payor Type")), "Insurance");
  carrier_ = trimmed(deposit_.text("Insurance Code"));
  codes_ = {deposit_.text("Payment Code"), deposit_.text("Deductible Code"),
            deposit_.text("Adjustment Code"), deposit_.text("Withhold Code"),
            deposit_.text("Take Back Code")};
  openingUnapplied_ = deposit_.money("Unapplied Amount");
  if (context_.settings != nullptr) {
    const auto read = [&](const char* name) {
      return context_.settings->read(paymentApplicationSettingsKey, name).value_or("0") == "1";
    };
    choices_ = {read("Bill Remaining Insurances"), read("Print Remainder Statements"),
                read("Show Done Claims"), read("Show Done Statements")};
  }
}

std::unique_ptr<PaymentApplicationWindow> PaymentApplicationWindow::openHeld(
    Surroundings surroundings, std::int64_t depositEntry) {
  const ui::Clock& clock = surroundings.clock;
  auto held = DepositForApplying::hold({surroundings.practice, surroundings.prompter,
                                        surroundings.security, [&clock] { return clock.today(); }},
                                       depositEntry);
  if (!held) return nullptr;
  auto window = std::make_unique<PaymentApplicationWindow>(std::move(surroundings), depositEntry);
  window->held_ = std::move(held);
  return window;
}

std::vector<store::Record> PaymentApplicationWindow::codeChoices(CodeBox box) const {
  return offeredCodes(context_.practice, box, deposit_.text("Payor Type"),
                      deposit_.text("Payment Method"));
}

std::vector<store::Record> PaymentApplicationWindow::postedSoFar() const {
  std::vector<store::Record> lines;
  store::Table ledger = context_.practice.openTable("QVTRN");
  ledger.setOrder("idxDepositID");
  const store::Value id{deposit_.integer("Entry Number")};
  ledger.setRange({id}, {id});
  ledger.forEach([&](const store::Record& line) { lines.push_back(line); });
  std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return a.integer("Entry Number") < b.integer("Entry Number");
  });
  return lines;
}

void PaymentApplicationWindow::setChoices(const ApplicationChoices& choices, bool remember) {
  choices_ = choices;
  if (context_.settings == nullptr || !remember) return;
  const auto write = [&](const char* name, bool on) {
    context_.settings->write(paymentApplicationSettingsKey, name, on ? "1" : "0");
  };
  write("Bill Remaining Insurances", choices.billRemainingInsurances);
  write("Print Remainder Statements", choices.printStatements);
  write("Show Done Claims", choices.alertClaimsDone);
  write("Show Done Statements", choices.alertStatementsDone);
}

bool PaymentApplicationWindow::mayLeave() {
  if (entriesSoFar().empty()) return true;
  if (!context_.prompter.askYesNo("Do you want to abandon your changes?")) return false;
  // Abandoned entries spend nothing: closing afterwards writes what was saved.
  entries_.clear();
  for (auto& row : rows_) row.entry = ApplicationEntry{};
  return true;
}

bool PaymentApplicationWindow::choosePatient(const std::string& chartNumber) {
  store::Table patients = context_.practice.openTable("QVPAT");
  patients.setOrder("Primary");
  if (!patients.seek({store::Value{store::upperAscii(chartNumber)}})) return false;
  if (!mayLeave()) return false;
  entries_.clear();
  cases_.clear();
  chart_ = store::upperAscii(chartNumber);
  reload();
  return true;
}

void PaymentApplicationWindow::setShowUnpaidOnly(bool on) {
  unpaidOnly_ = on;
  if (!chart_.empty()) reload();
}

void PaymentApplicationWindow::setShowRemainderOnly(bool on) {
  remainderOnly_ = on;
  if (!chart_.empty()) reload();
}

const store::Record* PaymentApplicationWindow::caseOf(const store::Record& charge) const {
  const auto number = charge.integer("Case Number");
  auto found = cases_.find(number);
  if (found == cases_.end()) {
    store::Table cases = context_.practice.openTable("QVCAS");
    cases.setOrder("Primary");
    auto row = cases.seek({store::Value{chart_}, store::Value{number}});
    if (!row) return nullptr;
    found = const_cast<std::map<std::int64_t, store::Record>&>(cases_).emplace(number, *row).first;
  }
  return &found->second;
}

std::string PaymentApplicationWindow::payorOf(const store::Record& charge) const {
  if (!insurance_) return deposit_.isEmpty("Attorney Code") ? "G" : "A";
  const store::Record* caseRow = caseOf(charge);
  if (caseRow == nullptr || carrier_.empty()) return {};
  for (int position = 1; position <= 3; ++position)
    if (sameCode(caseRow->text(fmt::format("Insurance Carrier #{}", position)), carrier_))
      return std::to_string(position);
  return {};
}

bool PaymentApplicationWindow::paidByPayor(const store::Record& charge,
                                           const std::string& payor) const {
  const char* flag = transactions::paidFlagOf(payor);
  return flag != nullptr && charge.logical(flag);
}

void PaymentApplicationWindow::reload() {
  for (const auto& row : rows_)
    if (row.entry.any()) entries_[row.charge.integer("Entry Number")] = row.entry;
  rows_.clear();
  // The chart's lines in one ranged read, its charges then oldest first.
  std::vector<store::Record> charges;
  store::Table ledger = context_.practice.openTable("QVTRN");
  ledger.setOrder("idxChartCaseDoc");
  ledger.setRange({store::Value{chart_}}, {store::Value{chart_}});
  ledger.forEach([&](const store::Record& line) {
    const std::string type = line.text("Transaction Type");
    if (!type.empty() && type < "I") charges.push_back(line);
  });
  std::stable_sort(charges.begin(), charges.end(), [](const auto& a, const auto& b) {
    const Date first = a.date("Date From");
    const Date second = b.date("Date From");
    if (first != second) return first < second;
    return a.integer("Entry Number") < b.integer("Entry Number");
  });
  for (auto& found : charges) {
    const store::Record* charge = &found;
    const std::int64_t entry = charge->integer("Entry Number");
    ApplicationRowView row{*charge, payorOf(*charge), {}};
    if (const auto typed = entries_.find(entry); typed != entries_.end()) row.entry = typed->second;
    const bool hidden = (unpaidOnly_ && paidByPayor(row.charge, row.payor)) ||
                        (remainderOnly_ && transactions::remainderOf(row.charge) == Money{});
    if (hidden && !row.entry.any()) continue;
    rows_.push_back(std::move(row));
  }
}

std::string PaymentApplicationWindow::payorPosition(std::size_t row) const {
  const std::string& payor = rows_.at(row).payor;
  if (payor == "1") return "Primary Carrier";
  if (payor == "2") return "Secondary Carrier";
  if (payor == "3") return "Tertiary Carrier";
  return {};
}

void PaymentApplicationWindow::setPayment(std::size_t row, Money typed) {
  rows_.at(row).entry.payment = negative(typed);
  if (context_.options.flag("Mark Complete") && typed != Money{}) rows_[row].entry.complete = true;
  afterAmount(row);
}

void PaymentApplicationWindow::setDeductible(std::size_t row, Money typed) {
  rows_.at(row).entry.deductible = negative(typed);
  if (context_.options.flag("Mark Complete") && typed != Money{}) rows_[row].entry.complete = true;
  afterAmount(row);
}

void PaymentApplicationWindow::setWithhold(std::size_t row, Money typed) {
  rows_.at(row).entry.withhold = negative(typed);
  afterAmount(row);
}

void PaymentApplicationWindow::setAllowed(std::size_t row, Money typed) {
  rows_.at(row).entry.allowed = typed;
  entries_[rows_[row].charge.integer("Entry Number")] = rows_[row].entry;
}

void PaymentApplicationWindow::setAdjustment(std::size_t row, Money typed) {
  rows_.at(row).entry.adjustment = negative(typed);
  entries_[rows_[row].charge.integer("Entry Number")] = rows_[row].entry;
}

void PaymentApplicationWindow::setTakeBack(std::size_t row, Money typed) {
  rows_.at(row).entry.takeBack = typed.abs();
  afterAmount(row);
}

void PaymentApplicationWindow::setComplete(std::size_t row, bool complete) {
  rows_.at(row).entry.complete = complete;
  entries_[rows_[row].charge.integer("Entry Number")] = rows_[row].entry;
}

void PaymentApplicationWindow::setRejection(std::size_t row, const std::string& code) {
  rows_.at(row).entry.rejection = code;
  entries_[rows_[row].charge.integer("Entry Number")] = rows_[row].entry;
}

ChargeDocumentation PaymentApplicationWindow::documentation(std::size_t row) const {
  const ApplicationRowView& view = rows_.at(row);
  if (view.entry.documentation) return *view.entry.documentation;
  return {trimmed(view.charge.text("Documentation Type")), view.charge.text("Documentation")};
}

bool PaymentApplicationWindow::setDocumentation(std::size_t row, ChargeDocumentation note) {
  ApplicationRowView& view = rows_.at(row);
  note.type = store::upperAscii(trimmed(note.type));
  const auto kinds = documentationTypes();
  if (note.type.size() != 1 || std::none_of(kinds.begin(), kinds.end(), [&](const auto& kind) {
        return kind.code == note.type[0];
      }))
    return false;
  note.text = transactions::cutToCharacters(note.text, documentationLength);
  // Put back as the charge has it, the note is no change to save.
  const ChargeDocumentation stored{trimmed(view.charge.text("Documentation Type")),
                                   view.charge.text("Documentation")};
  if (note == stored)
    view.entry.documentation.reset();
  else
    view.entry.documentation = std::move(note);
  entries_[view.charge.integer("Entry Number")] = view.entry;
  return true;
}

// After an amount that pays: the allowed amount it implies, then what the
// allowed amount leaves to write off.
void PaymentApplicationWindow::afterAmount(std::size_t row) {
  calculateAllowed(row);
  calculateDisallowed(row);
  entries_[rows_[row].charge.integer("Entry Number")] = rows_[row].entry;
}

void PaymentApplicationWindow::calculateDisallowed(std::size_t index) {
  ApplicationRowView& row = rows_[index];
  if (!context_.options.flag("Calculate Disallowed Amt") || row.payor != "1" ||
      row.entry.adjustment != Money{})
    return;
  const Money allowed =
      row.entry.updateChargeAllowed ? row.entry.allowed : row.charge.money("Allowed Amount");
  if (allowed == Money{}) return;
  const Money amount = row.charge.money("Amount");
  row.entry.adjustment = allowed > amount ? Money{} : -(amount - allowed).roundedToCents();
}

void PaymentApplicationWindow::calculateAllowed(std::size_t index) {
  ApplicationRowView& row = rows_[index];
  if (!insurance_ || !context_.options.flag("Calculate Allowed Amount") ||
      (row.payor != "1" && row.payor != "2" && row.payor != "3"))
    return;
  const store::Record* caseRow = caseOf(row.charge);
  if (caseRow == nullptr) return;
  const std::string category = trimmed(row.charge.text("Insurance Category"));
  const double percent =
      caseRow->number(
          fmt::format("Percent Covered {} #{}", category.empty() ? "A" : category, row.payor)) /
      100.0;
  if (percent == 0.0) return;
  const ApplicationEntry& entry = row.entry;
  const Money paid =
      (entry.payment + entry.deductible + entry.withhold + entry.takeBack).roundedToCents();
  const Money allowed = Money::fromDouble(paid.abs().toDouble() / percent).roundedToCents();
  const Money stored = row.charge.money("Allowed Amount");
  if (allowed == stored || allowed == row.entry.allowed) return;
  row.entry.allowed = allowed;
  row.entry.updateChargeAllowed =
      stored == Money{} ||
      context_.prompter.askYesNo(
          "The calculated allowed amount does not match the previous allowed amount.  \rUpdate "
          "the files to the new allowed amount of " +
          allowed.toGroupedString());
}

Money PaymentApplicationWindow::shownRemainder(std::size_t index) const {
  const ApplicationRowView& row = rows_.at(index);
  return transactions::remainderOf(row.charge) + row.entry.payment + row.entry.adjustment +
         row.entry.withhold + row.entry.takeBack;
}

Money PaymentApplicationWindow::unapplied() const {
  Money left = openingUnapplied_;
  for (const auto& [entry, typed] : entries_) {
    (void)entry;
    left += typed.payment + typed.takeBack;
  }
  return left;
}

void PaymentApplicationWindow::applyToOldest() {
  Money left = unapplied();
  if (!(left > Money{})) {
    context_.prompter.inform("Unapplied amount is $0.00.  No payments added.");
    return;
  }
  for (std::size_t index = 0; index < rows_.size() && left > Money{}; ++index) {
    const Money remainder = shownRemainder(index);
    if (!(remainder > Money{})) continue;
    ApplicationEntry& entry = rows_[index].entry;
    if (remainder <= left) {
      entry.payment -= remainder;
      left -= remainder;
    } else {
      entry.payment = -left;
      left = Money{};
    }
    if (context_.options.flag("Mark Complete")) entry.complete = true;
    entries_[rows_[index].charge.integer("Entry Number")] = entry;
  }
  if (left == Money{})
    context_.prompter.inform("This Deposit has been fully applied.");
  else
    context_.prompter.inform("All displayed charges have a remainder of $0.00\rThis deposit has $" +
                             left.toGroupedString() + " left unapplied.");
}

std::vector<const ApplicationRowView*> PaymentApplicationWindow::entriesSoFar() const {
  std::vector<const ApplicationRowView*> shown;
  for (const auto& row : rows_)
    if (row.entry.any()) shown.push_back(&row);
  return shown;
}

bool PaymentApplicationWindow::save() {
  ui::Prompter& prompter = context_.prompter;
  if (unapplied() < Money{} &&
      !prompter.askYesNo(
          "The applied amount exceeds the total amount\nfor this payment.  Do you want to "
          "continue?"))
    return false;
  for (const auto& row : rows_)
    if (row.entry.any()) entries_[row.charge.integer("Entry Number")] = row.entry;

  // Each code is looked up once, and asked about once, before the ledger is held.
  std::map<std::string, std::optional<store::Record>> usable;
  const auto codeRow = [&](const std::string& code) -> const std::optional<store::Record>& {
    const std::string key = store::upperAscii(trimmed(code));
    if (auto known = usable.find(key); known != usable.end()) return known->second;
    store::Table procedures = context_.practice.openTable("QVPRO");
    procedures.setOrder("Primary");
    auto row = key.empty() ? std::nullopt : procedures.seek({store::Value{key}});
    if (!row) {
      prompter.error("Code \"" + trimmed(code) + "\" cannot be found. No transaction can be saved");
    } else if (row->logical("Inactive") &&
               !prompter.askYesNo("Procedure code " + trimmed(code) + " is inactive.  " +
                                  "Do you wish to use it anyway?")) {
      row.reset();
    }
    return usable.emplace(key, std::move(row)).first->second;
  };

  struct ClaimToExamine {
    std::int64_t claim;
    int position;
  };
  std::vector<ClaimToExamine> claimsToExamine;
  std::set<std::int64_t> statementsToExamine;
  Money written;
  int lines = 0;
  std::vector<std::int64_t> claimsDone;
  int donePosition = 0;
  std::vector<std::int64_t> statementsDone;
  std::vector<std::string> afterwards;
  std::vector<DueClaim> due;
  const Date depositDate = deposit_.date("Deposit Date");
  const std::int64_t depositId = deposit_.integer("Entry Number");

  try {
    store::asBulkOperation(context_.practice, context_.userCode, "QVTRN", [&] {
      store::Transaction transaction(context_.practice);
      transactions::LedgerPosting posting(context_.practice);
      store::Table ledger = context_.practice.openTable("QVTRN");
      ledger.setOrder("Idxentrynumber");
      std::set<std::int64_t> guarantorRule;

      const auto writeLine = [&](const store::Record& charge, const std::string& payor,
                                 const std::string& code, Money amount, bool deductible) {
        const auto& procedure = codeRow(code);
        if (!procedure) return false;
        const std::string typeText = procedure->text("Type");
        const char type = typeText.empty() ? '\0' : typeText[0];
        store::Record line = ledger.newRecord();
        line.set("Date From", depositDate);
        line.set("Date To", depositDate);
        for (const char* field :
             {"Chart Number", "Case Number", "Attending Provider", "Facility", "Document Number"})
          line.setAt(*line.table().fieldIndex(field),
                     charge.value(*charge.table().fieldIndex(field)));
        line.set("Units", 1.0);
        line.set("Who Paid", payor);
        line.set("Claim Number", std::int64_t{0});
        line.set("Date Created", context_.clock.today());
        line.set("Documentation Type", std::string("T"));
        line.set("CC Entry Number", std::int64_t{-1});
        line.set("User Code", context_.userCode);
        line.set("Procedure Code", procedure->text("Code 1"));
        line.set("Transaction Type", typeText);
        line.set("Procedure Description",
                 transactions::cutToCharacters(procedure->text("Description"), 40));
        line.set("Amount", type == 'P' ? Money{} : amount);
        line.set("Unapplied Amount", Money{});
        if (deductible || type == 'P') {
          // A long carrier code and a large deductible can overrun the field.
          line.set(
              "Description",
              transactions::cutToCharacters(
                  "Carrier " + carrier_ + " Deductible " + amount.abs().toGroupedString(), 30));
        } else if (transactions::isPaymentClass(type)) {
          line.set("Description", deposit_.text("Description"));
          line.set("Check Number", deposit_.text("Check Number"));
        }
        for (const char* flag : {"Insurance 1 Responsible", "Insurance 2 Responsible",
                                 "Insurance 3 Responsible", "Guarantor Responsible"})
          line.set(flag, charge.logical(flag));
        line.set("Deposit ID", depositId);
        const std::int64_t entry = posting.appendLine(ledger, line);
        transactions::ApplicationRow application;
        application.paymentReference = entry;
        application.chargeReference = charge.integer("Entry Number");
        application.paymentAmount = amount;
        application.whoPaid = transactions::applicationWhoPaid(type, payor);
        application.depositId = depositId;
        posting.writeApplication(application);
        if (type != 'P') guarantorRule.insert(application.chargeReference);
        written += line.money("Amount");
        ++lines;
        return true;
      };

      for (const auto& [entryNumber, typed] : entries_) {
        if (!typed.any()) continue;
        auto found = ledger.seek({store::Value{entryNumber}});
        if (!found) continue;
        store::Record charge = *found;
        ledger.edit(charge);
        if (typed.updateChargeAllowed) charge.set("Allowed Amount", typed.allowed);
        const std::string payor = payorOf(charge);
        const Money payment = typed.payment.roundedToCents();
        if (payment != Money{} || typed.complete) {
          bool booked = false;
          if (payor == "1" || payor == "2" || payor == "3") {
            const std::string paid = "Insurance " + payor + " Paid";
            if (!(payment == Money{} && charge.logical(paid))) {
              charge.set(paid, typed.complete);
              booked = true;
            }
          } else if (payor == "A" && payment != Money{}) {
            charge.set("Attorney Paid", typed.complete);
            booked = true;
          } else if (payor == "G" && payment != Money{}) {
            booked = true;
          }
          if (booked) writeLine(charge, payor, codes_.payment, payment, false);
        }
        if (typed.deductible != Money{})
          writeLine(charge, payor, codes_.deductible, typed.deductible.roundedToCents(), true);
        if (typed.adjustment != Money{})
          writeLine(charge, payor, codes_.adjustment, typed.adjustment.roundedToCents(), false);
        if (typed.withhold != Money{})
          writeLine(charge, payor, codes_.withhold, typed.withhold.roundedToCents(), false);
        if (typed.takeBack != Money{})
          writeLine(charge, payor, codes_.takeBack, typed.takeBack.roundedToCents(), false);
        const bool insurancePayor = payor == "1" || payor == "2" || payor == "3";
        if (insurancePayor) {
          if (typed.allowed != Money{}) {
            store::ensureTable(context_.practice, "QVALL");
            store::Table allowed = context_.practice.openTable("QVALL");
            allowed.setOrder("Primary");
            const std::string procedure = store::upperAscii(trimmed(charge.text("Procedure Code")));
            const std::string modifiers = modifiersOf(charge);
            auto remembered = allowed.seek({store::Value{store::upperAscii(carrier_)},
                                            store::Value{procedure}, store::Value{modifiers}});
            if (!remembered) {
              store::Record row = allowed.newRecord();
              row.set("Insurance Code", carrier_);
              row.set("Procedure", procedure);
              row.set("Modifiers", modifiers);
              row.set("Amount", typed.allowed);
              allowed.append(row);
            } else if (remembered->money("Amount") != typed.allowed) {
              remembered->set("Amount", typed.allowed);
              allowed.post(*remembered);
            }
          }
          if (!typed.rejection.empty()) charge.set("Claim Rejection Code", typed.rejection);
          if (typed.complete && charge.integer("Claim Number") > 0)
            claimsToExamine.push_back({charge.integer("Claim Number"), std::stoi(payor)});
        }
        if (typed.documentation) {
          charge.set("Documentation Type", typed.documentation->type);
          charge.set("Documentation", typed.documentation->text);
        }
        if (charge.integer("Statement Number") > 0)
          statementsToExamine.insert(charge.integer("Statement Number"));
        ledger.post(charge);
      }
      // Buckets and unapplied amounts from the stored applications, then the
      // guarantor's paid mark from the amounts that leaves.
      posting.rebuildTouchedTotals();
      std::vector<std::vector<store::Value>> paidKeys;
      for (const auto entry : guarantorRule) paidKeys.push_back({store::Value{entry}});
      for (auto& charge : ledger.seekMany(paidKeys)) {
        if (charge.logical("Guarantor Paid") != transactions::guarantorPaidOf(charge)) {
          charge.set("Guarantor Paid", transactions::guarantorPaidOf(charge));
          ledger.post(charge);
        }
      }

      if (!claimsToExamine.empty()) {
        store::Table claims = context_.practice.openTable("QVCLA");
        claims.setOrder("Primary");
        // Every examined claim's charges in one read of many keys, as this save
        // left them, rather than a pass over the practice's charges per claim.
        std::map<std::int64_t, std::vector<store::Record>> chargesOfClaim;
        {
          std::vector<std::vector<store::Value>> keys;
          for (const auto& examined : claimsToExamine)
            if (chargesOfClaim.emplace(examined.claim, std::vector<store::Record>{}).second)
              keys.push_back({store::Value{examined.claim}});
          store::Table onClaims = context_.practice.openTable("QVTRN");
          onClaims.setOrder("Idxclaim");
          onClaims.setFields({"Entry Number", "Claim Number", "Transaction Type",
                              "Insurance 1 Paid", "Insurance 2 Paid", "Insurance 3 Paid"});
          for (auto& line : onClaims.seekMany(keys)) {
            const std::string type = trimmed(line.text("Transaction Type"));
            if (!type.empty() && type < "I")
              chargesOfClaim[line.integer("Claim Number")].push_back(std::move(line));
          }
        }
        for (const auto& [number, position] : claimsToExamine) {
          auto claim = claims.seek({store::Value{number}});
          if (!claim) continue;
          const auto slot = claims::claimSlotFields(position);
          if (trimmed(claim->text(slot.status)) == claims::claim_status::done) continue;
          const std::string paidFlag = "Insurance " + std::to_string(position) + " Paid";
          const auto& onClaim = chargesOfClaim[number];
          if (std::any_of(onClaim.begin(), onClaim.end(),
                          [&](const store::Record& charge) { return !charge.logical(paidFlag); }))
            continue;
          if (context_.options.flag("Mark Completed Claims Done")) {
            claim->set(slot.status, std::string(claims::claim_status::done));
            claims.post(*claim);
            if (std::find(claimsDone.begin(), claimsDone.end(), number) == claimsDone.end())
              claimsDone.push_back(number);
            donePosition = position;
          }
          if (position < 3) {
            const auto next = claims::claimSlotFields(position + 1);
            if (!claim->isEmpty(next.carrier) &&
                trimmed(claim->text(next.status)) == claims::claim_status::readyToSend &&
                trimmed(claim->text(next.billingMethod)) == claims::billing_method::paper)
              due.push_back({number, position + 1});
          }
        }
      }

      if (!statementsToExamine.empty()) {
        store::Table statements = context_.practice.openTable("QVSTA");
        statements.setOrder("Primary");
        // The statements' charges in one read of many keys, as this save left them.
        std::map<std::int64_t, std::vector<store::Record>> chargesOfStatement;
        {
          std::vector<std::vector<store::Value>> keys;
          for (const auto number : statementsToExamine) keys.push_back({store::Value{number}});
          store::Table onStatements = context_.practice.openTable("QVTRN");
          onStatements.setOrder("idxStatementID");
          for (auto& line : onStatements.seekMany(keys)) {
            const std::string type = trimmed(line.text("Transaction Type"));
            if (!type.empty() && type < "I")
              chargesOfStatement[line.integer("Statement Number")].push_back(std::move(line));
          }
        }
        for (const auto number : statementsToExamine) {
          auto statement = statements.seek({store::Value{number}});
          if (!statement || trimmed(statement->text("Status")) == statements::statusDone) continue;
          // Done once nothing on it is left to pay.
          Money open;
          for (const auto& charge : chargesOfStatement[number])
            open += transactions::remainderOf(charge).abs();
          if (open != Money{}) continue;
          try {
            statements.edit(*statement);
          } catch (const store::RecordInUseError&) {
            afterwards.push_back("Statement number " + std::to_string(number) +
                                 " is locked and can't be changed to done");
            continue;
          }
          statement->set("Status", std::string(statements::statusDone));
          statements.post(*statement);
          statementsDone.push_back(number);
        }
      }

      if (lines > 0) {
        store::Table patients = context_.practice.openTable("QVPAT");
        patients.setOrder("Primary");
        if (auto patient = patients.seek({store::Value{chart_}})) {
          patients.edit(*patient);
          posting.postPatientTotals(patients, *patient,
                                    patient->money("Patient Reference Balance") + written, false);
        }
      }
      transaction.commit();
    });
  } catch (const store::RecordInUseError& inUse) {
    prompter.error(inUse.batchRefusalMessage());
    return false;
  } catch (const store::StoreError& failure) {
    prompter.error(std::string("The payments were not saved: ") + failure.what());
    return false;
  }

  if (lines == 0) {
    prompter.inform("No payments or adjustments were created.");
  } else {
    if (choices_.alertClaimsDone && !claimsDone.empty()) {
      std::string numbers;
      for (const auto number : claimsDone)
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(number);
      prompter.inform("Claim number(s):  " + numbers + " have been marked \"done\" for the " +
                      positionWord(donePosition) + " insurance.");
    }
    if (choices_.alertStatementsDone && !statementsDone.empty()) {
      std::string numbers;
      for (const auto number : statementsDone)
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(number);
      prompter.inform("Statement number(s):  " + numbers + " have been marked \"done\".");
    }
  }
  for (const auto& notice : afterwards) prompter.inform(notice);
  due_ = due;
  if (choices_.billRemainingInsurances && context_.claimPrinting != nullptr) {
    // Bill Remaining Insurances Now: the next carrier's forms, a run per slot.
    for (const int slot : {2, 3}) {
      std::vector<std::int64_t> numbers;
      for (const auto& claim : due)
        if (claim.slot == slot) numbers.push_back(claim.claim);
      if (!numbers.empty()) context_.claimPrinting->print(numbers, slot);
    }
  } else {
    for (const auto& claim : due)
      prompter.inform(fmt::format("Claim number {} is due for its {} insurance.", claim.claim,
                                  positionWord(claim.slot)));
  }
  if (choices_.printStatements && context_.statementPrinting != nullptr) {
    // Print Statement Now: what the guarantor still owes goes on a statement.
    ui::MemorySettings unremembered;
    const statements::Surroundings forStatements{
        context_.practice, context_.options,
        prompter,          context_.settings != nullptr ? *context_.settings : unremembered,
        context_.clock,    context_.security};
    if (const auto statement =
            statements::statementAfterPayment(forStatements, chart_, *context_.statementPrinting))
      context_.statementPrinting->print(*statement);
  }
  // What was saved now counts in the unapplied amount the window started with.
  openingUnapplied_ = unapplied();
  entries_.clear();
  for (auto& row : rows_) row.entry = {};
  reload();
  return true;
}

void PaymentApplicationWindow::close() {
  // Only what the saves posted leaves the deposit: entries typed and never
  // saved (or refused by their save) are dropped with the window.
  const Money saved = openingUnapplied_;
  // A held deposit cannot change under the window: its row takes the final amount.
  if (held_) {
    held_->close(saved);
    held_.reset();
    return;
  }
  store::Table deposits = context_.practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  auto stored = deposits.seek({store::Value{deposit_.integer("Entry Number")}});
  if (!stored) return;
  const Money difference = saved - stored->money("Unapplied Amount");
  if (difference == Money{}) return;
  transactions::LedgerPosting(context_.practice)
      .moveDepositUnapplied(deposit_.integer("Entry Number"), difference);
}

}  // namespace vantrell::deposits
