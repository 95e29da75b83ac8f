#include "reference/code_window.hpp"

#include <cctype>

#include "common/code_sets.hpp"
#include "common/money.hpp"
#include "practice/options.hpp"
#include "security/audit.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/field_defaults.hpp"
#include "store/names.hpp"
#include "store/system_fields.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::reference {
namespace {

std::function<std::string(const std::string&)> alreadyExists(const char* what) {
  return [what](const std::string& code) {
    return std::string(what) + " " + code + " already exists.\nEnter a unique number.";
  };
}

bool plainCode(const std::string& code) {
  for (const char c : code) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '-' && c != '.' && c != '/')
      return false;
  }
  return true;
}

void deleteMatching(store::Connection& practice, const char* table, const char* tag,
                    const std::string& code) {
  if (!practice.tableExists(table)) return;
  store::Table rows = practice.openTable(table);
  rows.setOrder(tag);
  rows.setRange({store::Value{code}}, {store::Value{code}});
  std::vector<store::Record> doomed;
  rows.forEach([&](const store::Record& row) { doomed.push_back(row); });
  for (auto& row : doomed) rows.remove(row);
}

std::optional<std::string> defaultCodeOfType(store::Connection& practice,
                                             const store::Record& carrier, const char* field,
                                             char type) {
  const std::string code = carrier.text(field);
  if (code.empty()) return std::nullopt;
  store::Table codes = practice.openTable("QVPRO");
  codes.setOrder("Primary");
  const auto found = codes.seek({store::Value{code}});
  if (found && found->text("Type") == std::string(1, type)) return std::nullopt;
  return std::string("The ") + field + " must be a procedure code of type " + type + ".";
}

CodeTable describe(const char* name, const char* key, const char* tag, std::optional<CodeKind> kind,
                   int newItem = -1, int editItem = -1, int viewItem = -1, int deleteItem = -1) {
  CodeTable table;
  table.table = name;
  table.keyField = key;
  table.keyTag = tag;
  table.kind = kind;
  table.newItem = newItem;
  table.editItem = editItem;
  table.viewItem = viewItem;
  table.deleteItem = deleteItem;
  return table;
}

std::vector<std::pair<std::string, const CodeTable*>> makeTables() {
  static CodeTable procedure =
      describe("QVPRO", "Code 1", "Primary", CodeKind::ProcedureCode, 52, 53, 54, 55);
  procedure.auditKind = "Deleted Procedure";
  procedure.auditPrefix = "Procedure code: ";
  procedure.duplicate = alreadyExists("Procedure code");
  procedure.keyAccepted = plainCode;
  procedure.keyRefusal = "Invalid procedure code.";
  procedure.newValues = [](store::Record& code) {
    code.set("Type", std::string("A"));
    code.set("Insurance Category", std::string("A"));
    for (const char* flag :
         {"Patient Only Responsible", "Taxable", "Inactive", "Adjustment Amount Negativ"})
      code.set(flag, false);
  };
  procedure.keyLeft = [](store::Record& code) {
    for (const char* alternate : {"Code 2", "Code 3"}) {
      if (code.isEmpty(alternate)) code.set(alternate, code.text("Code 1"));
    }
  };
  procedure.check = [](store::Connection&, const store::Record& code,
                       const ui::Clock&) -> std::optional<std::string> {
    const std::string type = code.text("Type");
    if (type.size() != 1 || !transactionTypeMeaning(type[0]))
      return "The type \"" + type + "\" is not a transaction type.";
    if (type == "G" && code.number("Tax Rate") == 0.0)
      return std::string("You need to enter a tax rate.");
    const std::string category = code.text("Insurance Category");
    if (!category.empty() && !effectiveInsuranceCategory(category[0]))
      return "The insurance category \"" + category + "\" is not one of A to H.";
    return std::nullopt;
  };
  procedure.cascade = [](store::Connection& practice, const std::string& code) {
    // The code's allowed amounts for every carrier.
    if (practice.tableExists("QVALL"))
      practice.executeSql("DELETE FROM QVALL WHERE \"Procedure\" = ?", {store::Value{code}});
  };

  static CodeTable multilink = describe("QVMUL", "Code", "Primary", std::nullopt, 56, 57, 58, 59);
  multilink.auditKind = "Deleted Multilink";
  multilink.auditPrefix = "Multilink code: ";
  multilink.duplicate = [](const std::string& code) {
    return "MultiLink code " + code + " already exists.\nEnter a unique number.";
  };
  multilink.check = [](store::Connection& practice, const store::Record& code,
                       const ui::Clock&) -> std::optional<std::string> {
    store::Table codes = practice.openTable("QVPRO");
    codes.setOrder("Primary");
    for (int link = 1; link <= 8; ++link) {
      const std::string linked = code.text("Link Code " + std::to_string(link));
      if (!linked.empty() && !codes.seek({store::Value{linked}}))
        return "Procedure code " + linked + " does not exist.";
    }
    return std::nullopt;
  };

  static CodeTable diagnosis =
      describe("QVDIA", "Code 1", "Primary", CodeKind::DiagnosisCode, 60, 61, 62, 63);
  diagnosis.auditKind = "Deleted Diagnosis";
  diagnosis.auditPrefix = "Diagnosis code 1: ";
  diagnosis.duplicate = alreadyExists("Diagnosis code");
  diagnosis.keyAccepted = plainCode;
  diagnosis.keyRefusal = "Invalid diagnosis code.";
  diagnosis.keyLeft = procedure.keyLeft;

  static CodeTable carrier =
      describe("QVINS", "Code", "Primary", CodeKind::InsuranceCarrier, 64, 65, 66, 67);
  carrier.auditKind = "Deleted Insurance Carrier";
  carrier.auditPrefix = "Insurance Carrier: ";
  carrier.deleteQuestion =
      "All Allowed Amounts for this insurance \ncarrier will also be deleted.\nAre you sure you "
      "want to delete this record?";
  carrier.duplicate = alreadyExists("Insurance code");
  carrier.check = [](store::Connection& practice, const store::Record& row,
                     const ui::Clock&) -> std::optional<std::string> {
    if (row.isEmpty("Name")) return std::string("An Insurance Name is required before saving");
    for (const auto& [field, type] :
         std::vector<std::pair<const char*, char>>{{"Default Payment Code", 'I'},
                                                   {"Default Deductible Code", 'P'},
                                                   {"Default Write Off Code", 'T'},
                                                   {"Default Withhold Code", 'U'},
                                                   {"Default Take Back Code", 'V'}}) {
      if (auto refusal = defaultCodeOfType(practice, row, field, type)) return refusal;
    }
    return std::nullopt;
  };
  carrier.cascade = [](store::Connection& practice, const std::string& code) {
    deleteMatching(practice, "QVALL", "IDXINSURANCE", code);
  };

  static CodeTable insuranceClass = describe("QVINC", "ID", "Primary", CodeKind::InsuranceClass);
  insuranceClass.auditKind = "Deleted Insurance Class";
  insuranceClass.auditPrefix = "Insurance Class: ";
  insuranceClass.duplicate = alreadyExists("Insurance class");

  const auto providerCheck = [](store::Connection&, const store::Record& row,
                                const ui::Clock& clock) -> std::optional<std::string> {
    const Date signed_ = row.date("SOF Date");
    if (!signed_.isEmpty() && clock.today() < signed_)
      return std::string("The Signature Date you have entered is in the future.");
    return std::nullopt;
  };
  const auto providerDuplicate = [](const std::string&) {
    return std::string("Invalid provider code. You must enter a unique provider code");
  };
  static CodeTable provider =
      describe("QVPHY", "Code", "Primary", CodeKind::Provider, 80, 81, 82, 83);
  provider.auditKind = "Deleted provider";
  provider.auditPrefix = " Provider code: ";
  provider.deleteQuestion =
      "You will lose all information and appointments associated with this provider.  Are you sure "
      "you want to "
      "delete this provider?";
  provider.duplicate = providerDuplicate;
  provider.check = providerCheck;
  static CodeTable referring =
      describe("QVRPH", "Code", "Primary", CodeKind::ReferringProvider, 76, 77, 78, 79);
  referring.auditKind = "Deleted referring provider";
  referring.auditPrefix = " Provider code: ";
  referring.deleteQuestion = provider.deleteQuestion;
  referring.duplicate = providerDuplicate;
  referring.check = providerCheck;

  static CodeTable billing =
      describe("QVBCO", "Code", "Primary", CodeKind::BillingCode, 84, 85, 86, 87);
  billing.auditKind = "Deleted Billing Code";
  billing.auditPrefix = "Billing code: ";
  billing.duplicate = alreadyExists("Billing code");

  static CodeTable address =
      describe("QVADD", "Code", "Primary", CodeKind::Address, 68, 69, 70, 71);
  address.auditKind = "Deleted Address";
  address.auditPrefix = "Address code: ";
  address.deleteQuestion =
      "All data that references this address will be affected.\nAre you sure you want to delete "
      "this record?";
  address.duplicate = alreadyExists("Address code");
  address.check = [](store::Connection&, const store::Record& row,
                     const ui::Clock&) -> std::optional<std::string> {
    if (row.isEmpty("Name")) return std::string("The name field can not be blank.");
    return std::nullopt;
  };

  static CodeTable receiver =
      describe("QVECR", "Code", "Primary", CodeKind::EdiReceiver, 72, 73, 74, 75);
  receiver.auditKind = "Deleted EDI Receiver";
  receiver.auditPrefix = "EDI receiver code: ";
  receiver.duplicate = alreadyExists("EDI receiver code");

  static CodeTable rejection = describe("QVREJ", "Rejection Code", "By Rejection Code",
                                        CodeKind::ClaimRejectionCode, 244, 245, 246, 247);
  rejection.auditKind = "Deleted Claim Rejection Code";
  rejection.auditPrefix = "Claim rejection code: ";
  rejection.duplicate = alreadyExists("Claim rejection code");

  return {{"code", &procedure},          {"multilink", &multilink}, {"carrier", &carrier},
          {"insclass", &insuranceClass}, {"provider", &provider},   {"refprovider", &referring},
          {"diagnosis", &diagnosis},     {"billcode", &billing},    {"address", &address},
          {"receiver", &receiver},       {"rejection", &rejection}};
}

}  // namespace

const std::vector<std::pair<std::string, const CodeTable*>>& codeTables() {
  static const auto tables = makeTables();
  return tables;
}

const CodeTable* findCodeTable(const std::string& noun) {
  for (const auto& [name, table] : codeTables()) {
    if (name == noun) return table;
  }
  return nullptr;
}

CodeWindow::CodeWindow(store::Connection& practice, const CodeTable& table, ui::Prompter& prompter,
                       const ui::Clock& clock, security::Security* security)
    : practice_(practice), table_(table), prompter_(prompter), clock_(clock), security_(security) {
  store::ensureTable(practice_, table_.table);
  typing_ = practice::readTypingRules(practice_);
}

bool CodeWindow::allowed(int item) {
  return item < 0 || security_ == nullptr || security_->hasPermission(item, false);
}

bool CodeWindow::startNew() {
  if (!allowed(table_.newItem)) return false;
  store::Table rows = practice_.openTable(table_.table);
  record_ = rows.newRecord();
  if (table_.newValues) table_.newValues(*record_);
  store::FieldDefaults(practice_).apply(*record_);
  isNew_ = true;
  return true;
}

bool CodeWindow::open(const std::string& code) {
  if (!allowed(table_.viewItem)) return false;
  store::Table rows = practice_.openTable(table_.table);
  rows.setOrder(table_.keyTag);
  record_ = rows.seek({store::Value{code}});
  if (!record_) {
    prompter_.error("There is no " + std::string(table_.keyField) + " " + code + " in " +
                    rows.definition().description() + ".");
    return false;
  }
  openedKey_ = record_->text(table_.keyField);
  isNew_ = false;
  return true;
}

std::string CodeWindow::asTyped(const std::string& field, const std::string& text) const {
  if (typing_.capitalizeWords && isNameOrAddressField(field)) return capitalizeWords(text);
  if (typing_.placeDecimalPoint && isAmountField(field)) return placeDecimalPoint(text);
  return text;
}

bool CodeWindow::setFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  try {
    for (const auto& [field, typed] : fields) {
      if (store::isSystemField(record_->table(), field)) {
        prompter_.error(store::systemFieldRefusal(field));
        return false;
      }
      if (!isNew_ && store::equalsIgnoringCase(field, table_.keyField)) {
        prompter_.error(std::string("The ") + table_.keyField +
                        " of a stored record is not changed here.");
        return false;
      }
      const auto index = record_->table().fieldIndex(field);
      const store::Value before = index ? record_->value(*index) : store::Value{};
      const std::string name = index ? record_->table().field(*index).name : field;
      const std::string value = asTyped(name, typed);
      record_->setFromText(field, value);
      // Prices, allowed amounts and tax rates are never below zero; signs come from the rules.
      const std::string stored = record_->table().field(*index).name;
      if ((stored.rfind("Amount", 0) == 0 || stored == "Tax Rate") && !record_->isEmpty(stored) &&
          record_->number(stored) < 0) {
        record_->setAt(*index, before);
        prompter_.error("The value \"" + value + "\" is not valid for the field " + stored +
                        ": it cannot be negative.");
        return false;
      }
      if (store::equalsIgnoringCase(field, table_.keyField) && table_.keyLeft)
        table_.keyLeft(*record_);
    }
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  return true;
}

bool CodeWindow::save() {
  if (!allowed(isNew_ ? table_.newItem : table_.editItem)) return false;
  store::Record& row = *record_;
  const std::string code = row.text(table_.keyField);
  // Cases, charges and allowed amounts refer to a code by its key: a saved key
  // never changes, whatever a window typed into the record.
  if (!isNew_ && code != openedKey_) {
    prompter_.error(std::string("The ") + table_.keyField +
                    " of a stored record is not changed here.");
    return false;
  }
  if (code.empty()) {
    prompter_.error(table_.keyRequired);
    return false;
  }
  if (table_.keyAccepted && !table_.keyAccepted(code)) {
    prompter_.error(table_.keyRefusal);
    return false;
  }
  if (table_.keyLeft) table_.keyLeft(row);
  store::Table rows = practice_.openTable(table_.table);
  rows.setOrder(table_.keyTag);
  if (isNew_ && rows.seek({store::Value{code}})) {
    prompter_.error(table_.duplicate(code));
    return false;
  }
  if (table_.check) {
    if (auto refusal = table_.check(practice_, row, clock_)) {
      prompter_.error(*refusal);
      return false;
    }
  }
  try {
    if (isNew_)
      rows.append(row);
    else
      rows.post(row);
  } catch (const store::DuplicateKeyError&) {
    // Another workstation saved the same code a moment ago.
    prompter_.error(table_.duplicate(code));
    return false;
  }
  openedKey_ = code;
  isNew_ = false;
  return true;
}

bool CodeWindow::remove(const std::string& code) {
  if (!allowed(table_.deleteItem)) return false;
  store::Table rows = practice_.openTable(table_.table);
  rows.setOrder(table_.keyTag);
  auto row = rows.seek({store::Value{code}});
  if (!row) {
    prompter_.error("There is no " + std::string(table_.keyField) + " " + code + " in " +
                    rows.definition().description() + ".");
    return false;
  }
  const std::string stored = row->text(table_.keyField);
  if (table_.kind) {
    if (const auto place = firstReference(practice_, *table_.kind, stored)) {
      prompter_.error(referenceRefusal(*table_.kind, *place));
      return false;
    }
  }
  if (!prompter_.askYesNo(table_.deleteQuestion)) return false;
  store::Transaction transaction(practice_);
  if (table_.cascade) table_.cascade(practice_, stored);
  rows.remove(*row);
  security::writeAuditEntry(practice_, table_.auditKind, "",
                            std::string(table_.auditPrefix) + stored, clock_.now());
  transaction.commit();
  return true;
}

}  // namespace vantrell::reference
