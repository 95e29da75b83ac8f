#include "claims/claim_editor.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/system_fields.hpp"
#include "store/table_creation.hpp"

namespace vantrell::claims {
namespace {

const std::array<std::string, 4> diagnosisFields = {"Diagnosis Code 1", "Diagnosis Code 2",
                                                    "Diagnosis Code 3", "Diagnosis Code 4"};

bool sameDiagnoses(const store::Record& charge, const store::Record& claim) {
  return std::all_of(diagnosisFields.begin(), diagnosisFields.end(),
                     [&](const auto& field) { return charge.text(field) == claim.text(field); });
}

bool contains(const std::vector<std::int64_t>& entries, std::int64_t entry) {
  return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

std::vector<std::int64_t> distinct(const std::vector<std::int64_t>& entries) {
  std::vector<std::int64_t> unique;
  for (const auto entry : entries) {
    if (!contains(unique, entry)) unique.push_back(entry);
  }
  return unique;
}

}  // namespace

std::string currentUserCode(const ClaimSurroundings& surroundings) {
  if (surroundings.security != nullptr && !surroundings.security->userCode().empty())
    return surroundings.security->userCode();
  return surroundings.practice.userCode();
}

ClaimEditor::ClaimEditor(ClaimSurroundings surroundings, std::int64_t number)
    : context_(std::move(surroundings)),
      number_(number),
      patientLock_(context_.practice, context_.prompter),
      claims_(context_.practice.openTable(claimTableName(context_.estimate))),
      claim_(claims_.newRecord()) {
  claims_.setOrder("Primary");
}

ClaimEditor::~ClaimEditor() {
  close();
}

std::unique_ptr<ClaimEditor> ClaimEditor::open(ClaimSurroundings surroundings,
                                               std::int64_t claimNumber) {
  for (const char* table : {"QVPAT", "QVCAS", "QVINS", claimTableName(surroundings.estimate),
                            ledgerTableName(surroundings.estimate)})
    store::ensureTable(surroundings.practice, table);
  std::unique_ptr<ClaimEditor> editor(new ClaimEditor(std::move(surroundings), claimNumber));
  if (!editor->allowed(claim_permission::edit)) return nullptr;
  auto found = editor->claims_.seek({store::Value{claimNumber}});
  if (!found) {
    editor->context_.prompter.error(fmt::format("Claim key {} not found", claimNumber));
    return nullptr;
  }
  if (!editor->patientLock_.hold(found->text("Chart Number"))) return nullptr;
  try {
    editor->claims_.edit(*found);
  } catch (const store::RecordInUseError& inUse) {
    editor->context_.prompter.error(inUse.batchRefusalMessage());
    return nullptr;
  }
  editor->claim_ = std::move(*found);
  return editor;
}

bool ClaimEditor::allowed(int item) {
  return context_.security == nullptr || context_.security->hasPermission(item, false);
}

std::string ClaimEditor::title() const {
  return (context_.estimate ? "Estimate Claim: " : "Claim: ") + std::to_string(number_);
}

bool ClaimEditor::setField(const std::string& field, const std::string& text) {
  const auto index = claim_.table().fieldIndex(field);
  if (!index) {
    context_.prompter.error(fmt::format("The claim has no field \"{}\".", field));
    return false;
  }
  const std::string& name = claim_.table().field(*index).name;
  if (store::isSystemField(claim_.table(), name)) {
    context_.prompter.error(store::systemFieldRefusal(name));
    return false;
  }
  for (int n = 1; n <= slotCount; ++n) {
    if (name != claimSlotFields(n).carrier) continue;
    const std::string code = store::upperAscii(store::trimRight(text));
    if (code.empty()) break;
    store::Table carriers = context_.practice.openTable("QVINS");
    carriers.setOrder("Primary");
    const auto carrier = carriers.seek({store::Value{code}});
    if (carrier && carrier->logical("Inactive")) {
      // The carrier shown before stays.
      context_.prompter.error(
          "This insurance carrier is inactive.  Please select a different one.");
      return false;
    }
  }
  try {
    claim_.setFromText(name, text);
  } catch (const store::InputError& error) {
    context_.prompter.error(error.what());
    return false;
  }
  for (int n = 1; n <= slotCount; ++n) {
    if (name == claimSlotFields(n).status) {
      if (claim_.text(name) == claim_status::challenge)
        challengedSlots_.insert(n);
      else
        challengedSlots_.erase(n);
    }
  }
  return true;
}

bool ClaimEditor::save() {
  if (!claim_.isInEdit()) return false;
  const std::string user = currentUserCode(context_);
  if (!user.empty()) claim_.set("User Code", user);
  claims_.post(claim_, true);
  for (const int n : challengedSlots_)
    addChallengeItem(context_.practice, context_.estimate, claim_, n, challengeFollowUp(context_));
  challengedSlots_.clear();
  return true;
}

void ClaimEditor::close() {
  if (claim_.isInEdit()) claims_.cancel(claim_);
  patientLock_.releaseAll();
}

std::vector<store::Record> ClaimEditor::charges() {
  store::Table ledger = context_.practice.openTable(ledgerTableName(context_.estimate));
  ledger.setOrder("Idxclaim");
  ledger.setRange({store::Value{number_}}, {store::Value{number_}});
  std::vector<store::Record> rows;
  ledger.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

std::optional<std::vector<store::Record>> ClaimEditor::addCandidates() {
  for (int n = 1; n <= slotCount; ++n) {
    const ClaimSlotFields fields = claimSlotFields(n);
    if (!claim_.text(fields.carrier).empty() &&
        claim_.text(fields.status) != claim_status::readyToSend) {
      context_.prompter.error(
          "To add a transaction to a claim the claim must\rbe marked as Ready To Send for all "
          "carriers.");
      return std::nullopt;
    }
  }
  store::Table ledger = context_.practice.openTable(ledgerTableName(context_.estimate));
  ledger.setOrder("Primary");
  const std::vector<store::Value> key = {store::Value{claim_.text("Chart Number")},
                                         store::Value{claim_.integer("Case Number")}};
  ledger.setRange(key, key);
  ledger.setFilter(
      "Claim Number <= 0 AND Transaction Type < 'H' AND Insurance 1 Responsible = .T.");
  std::vector<store::Record> rows;
  ledger.forEach([&](const store::Record& row) { rows.push_back(row); });
  if (rows.empty()) {
    context_.prompter.error("There are no qualifying transactions to add to this claim.");
    return std::nullopt;
  }
  return rows;
}

void ClaimEditor::stamp(store::Table& ledger, store::Record& charge, std::int64_t claimNumber) {
  ledger.edit(charge);
  charge.set("Claim Number", claimNumber);
  ledger.post(charge);
}

bool ClaimEditor::addCharges(const std::vector<std::int64_t>& entries) {
  const auto candidates = addCandidates();
  if (!candidates) return false;
  const auto marked = distinct(entries);
  if (marked.empty()) {
    context_.prompter.error("You must select at least one transaction to add.");
    return false;
  }
  std::vector<store::Record> rows;
  for (const auto entry : marked) {
    const auto found = std::find_if(candidates->begin(), candidates->end(), [&](const auto& row) {
      return row.integer("Entry Number") == entry;
    });
    if (found == candidates->end()) {
      context_.prompter.error(
          fmt::format("Entry {} is not a transaction that can be added to this claim.", entry));
      return false;
    }
    rows.push_back(*found);
  }
  if (!context_.prompter.askYesNo(
          marked.size() == 1 ? "Are you sure you want to add this transaction to this claim?"
                             : "Are you sure you want to add these transactions to this "
                               "claim?"))
    return false;
  store::Table ledger = context_.practice.openTable(ledgerTableName(context_.estimate));
  try {
    for (auto& row : rows) {
      if (!sameDiagnoses(row, claim_)) {
        // The others are still added.
        context_.prompter.error(
            "The diagnosis for this transaction are not the same as \rthe diagnosis on the claim.  "
            "This transaction cannot be added\r");
        continue;
      }
      stamp(ledger, row, number_);
    }
  } catch (const store::RecordInUseError& inUse) {
    context_.prompter.error(inUse.batchRefusalMessage());
    return false;
  }
  return true;
}

bool ClaimEditor::markedCharges(const std::vector<std::int64_t>& entries,
                                std::vector<store::Record>& marked, std::size_t& chargesOnClaim) {
  const auto onClaim = charges();
  chargesOnClaim = onClaim.size();
  for (const auto entry : distinct(entries)) {
    const auto found = std::find_if(onClaim.begin(), onClaim.end(), [&](const auto& row) {
      return row.integer("Entry Number") == entry;
    });
    if (found == onClaim.end()) {
      context_.prompter.error(fmt::format("Entry {} is not on this claim.", entry));
      return false;
    }
    marked.push_back(*found);
  }
  return true;
}

bool ClaimEditor::checkMarks(const std::vector<std::int64_t>& entries, std::size_t chargesOnClaim,
                             const char* noneMarked, const char* allMarked, const char* onlyOne) {
  const std::size_t count = distinct(entries).size();
  if (count == 0) {
    context_.prompter.error(noneMarked);
    return false;
  }
  // A claim of one charge says why it must keep it before saying it cannot lose all.
  if (chargesOnClaim <= 1) {
    context_.prompter.error(onlyOne);
    return false;
  }
  if (count >= chargesOnClaim) {
    context_.prompter.error(allMarked);
    return false;
  }
  return true;
}

bool ClaimEditor::removeCharges(const std::vector<std::int64_t>& entries) {
  std::vector<store::Record> marked;
  std::size_t onClaim = 0;
  if (!entries.empty() && !markedCharges(entries, marked, onClaim)) return false;
  if (entries.empty()) onClaim = charges().size();
  if (!checkMarks(entries, onClaim, "You must select at least one transaction to remove.",
                  "You cannot remove all transactions from a claim",
                  "This transaction cannot be removed.\rEvery claim must have at least one "
                  "transaction."))
    return false;
  if (!context_.prompter.askYesNo(marked.size() == 1
                                      ? "Are you sure you want to remove this transaction?"
                                      : "Are you sure you want to remove these transactions?"))
    return false;
  store::Table ledger = context_.practice.openTable(ledgerTableName(context_.estimate));
  try {
    for (auto& row : marked) stamp(ledger, row, 0);
  } catch (const store::RecordInUseError& inUse) {
    context_.prompter.error(inUse.batchRefusalMessage());
    return false;
  }
  return true;
}

std::optional<std::int64_t> ClaimEditor::splitCharges(const std::vector<std::int64_t>& entries,
                                                      std::int64_t cursorEntry) {
  std::vector<store::Record> marked;
  std::size_t onClaim = 0;
  if (!entries.empty() && !markedCharges(entries, marked, onClaim)) return std::nullopt;
  if (entries.empty()) onClaim = charges().size();
  if (!checkMarks(entries, onClaim,
                  "You must select at least one transaction\rto split from this claim.",
                  "You cannot move all transactions to a new claim",
                  "This transaction cannot be moved to a new claim.\rEvery claim must have at "
                  "least one transaction."))
    return std::nullopt;
  if (!context_.prompter.askYesNo(
          marked.size() == 1 ? "Are you sure you want to move this transaction to a new claim?"
                             : "Are you sure you want to move these transactions to a new claim?"))
    return std::nullopt;
  const store::Record* atCursor = &marked.front();
  for (const auto& row : marked) {
    if (row.integer("Entry Number") == cursorEntry) atCursor = &row;
  }
  store::Record split = claims_.newRecord();
  const store::Record& from = claim_;
  std::vector<std::string> copied = {"Chart Number", "Case Number", "Billing Code",
                                     "Indicator 1",  "Provider",    "Comment"};
  for (int n = 1; n <= slotCount; ++n) {
    const ClaimSlotFields fields = claimSlotFields(n);
    for (const auto* field : {&fields.batch, &fields.receiver, &fields.carrier,
                              &fields.billingMethod, &fields.submissionCount})
      copied.push_back(*field);
    if (!from.isEmpty(fields.billingDate)) copied.push_back(fields.billingDate);
  }
  for (const auto& field : copied) split.set(field, from.value(field));
  split.set(claimSlotFields(1).status, std::string(claim_status::readyToSend));
  for (int n = 2; n <= slotCount; ++n) {
    const ClaimSlotFields fields = claimSlotFields(n);
    split.set(fields.status, std::string(from.isEmpty(fields.carrier) ? claim_status::done
                                                                      : claim_status::readyToSend));
  }
  for (const auto& field : diagnosisFields) split.set(field, atCursor->value(field));
  split.set("Date Created",
            context_.programDate ? context_.programDate() : context_.practice.clock().now().date());
  store::Table claims = context_.practice.openTable(claimTableName(context_.estimate));
  store::Table ledger = context_.practice.openTable(ledgerTableName(context_.estimate));
  try {
    // The new claim and its charges appear together or not at all.
    store::Transaction transaction(context_.practice);
    claims.append(split);
    for (auto& row : marked) stamp(ledger, row, split.integer("Claim Number"));
    transaction.commit();
  } catch (const store::RecordInUseError& inUse) {
    context_.prompter.error(inUse.batchRefusalMessage());
    return std::nullopt;
  }
  return split.integer("Claim Number");
}

ClaimEditor* ClaimEditors::edit(std::int64_t claimNumber) {
  broughtForward_ = false;
  const auto open = open_.find(claimNumber);
  if (open != open_.end()) {
    broughtForward_ = true;
    return open->second.get();
  }
  auto editor = ClaimEditor::open(context_, claimNumber);
  if (!editor) return nullptr;
  return open_.emplace(claimNumber, std::move(editor)).first->second.get();
}

void ClaimEditors::close(std::int64_t claimNumber) {
  open_.erase(claimNumber);
}

std::string noteStamp(const Date& today, const std::string& userCode) {
  return today.toMonthDayYear() + " " + userCode;
}

std::size_t insertNoteStamp(std::string& text, std::size_t cursor, const std::string& stamp) {
  cursor = std::min(cursor, text.size());
  text.insert(cursor, stamp);
  return cursor + stamp.size();
}

ClaimNote::ClaimNote(ClaimSurroundings surroundings, store::Table claims, store::Record claim)
    : context_(std::move(surroundings)), claims_(std::move(claims)), claim_(std::move(claim)) {
  text = claim_.text("Comment");
}

ClaimNote::~ClaimNote() {
  close();
}

std::unique_ptr<ClaimNote> ClaimNote::open(ClaimSurroundings surroundings,
                                           std::int64_t claimNumber) {
  store::ensureTable(surroundings.practice, claimTableName(surroundings.estimate));
  store::Table claims = surroundings.practice.openTable(claimTableName(surroundings.estimate));
  claims.setOrder("Primary");
  auto claim = claims.seek({store::Value{claimNumber}});
  if (!claim) {
    surroundings.prompter.error(fmt::format("Claim key {} not found", claimNumber));
    return nullptr;
  }
  try {
    claims.edit(*claim);
  } catch (const store::RecordInUseError& inUse) {
    surroundings.prompter.error(inUse.batchRefusalMessage());
    return nullptr;
  }
  return std::unique_ptr<ClaimNote>(
      new ClaimNote(std::move(surroundings), std::move(claims), std::move(*claim)));
}

void ClaimNote::insertStamp(std::size_t cursor) {
  const Date today =
      context_.programDate ? context_.programDate() : context_.practice.clock().now().date();
  insertNoteStamp(text, cursor, noteStamp(today, currentUserCode(context_)));
}

bool ClaimNote::save() {
  if (!claim_.isInEdit()) return false;
  claim_.set("Comment", text);
  claims_.post(claim_);
  return true;
}

void ClaimNote::close() {
  if (claim_.isInEdit()) claims_.cancel(claim_);
}

}  // namespace vantrell::claims
