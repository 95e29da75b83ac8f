#include "reference/carrier_extras.hpp"

#include "reference/price_lookup.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::reference {
namespace {

constexpr int editInsuranceCarrier = 65;

}  // namespace

CarrierExtras::CarrierExtras(store::Connection& practice, ui::Prompter& prompter, security::Security* security)
    : practice_(practice), prompter_(prompter), security_(security) {
  store::ensureTable(practice_, "QVALL");
  store::ensureTable(practice_, "QVPINS");
}

bool CarrierExtras::mayEdit() { return security_ == nullptr || security_->hasPermission(editInsuranceCarrier, false); }

bool CarrierExtras::allowedAmountsAvailable(const store::Record& carrier) {
  if (carrier.isStored()) return true;
  prompter_.error(saveBeforeAllowedAmounts);
  return false;
}

std::vector<store::Record> CarrierExtras::allowedAmounts(const std::string& carrier) {
  std::vector<store::Record> rows;
  store::Table allowed = practice_.openTable("QVALL");
  allowed.setOrder("Primary");
  allowed.setRange({store::Value{carrier}}, {store::Value{carrier}});
  allowed.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

bool CarrierExtras::setAllowedAmount(const store::Record& carrier, const std::string& procedure,
                                     const std::string& modifiers, Money amount) {
  if (!allowedAmountsAvailable(carrier) || !mayEdit()) return false;
  const auto code = findProcedureCode(practice_, procedure);
  if (!code) {
    prompter_.error("Procedure code " + procedure + " does not exist.");
    return false;
  }
  try {
    store::Table allowed = practice_.openTable("QVALL");
    allowed.setOrder("Primary");
    const std::string stored = code->text("Code 1");
    auto row = allowed.seek({store::Value{carrier.text("Code")}, store::Value{stored}, store::Value{modifiers}});
    if (row) {
      row->set("Amount", amount.toDouble());
      allowed.post(*row);
    } else {
      store::Record fresh = allowed.newRecord();
      fresh.set("Insurance Code", carrier.text("Code"));
      fresh.set("Procedure", stored);
      fresh.set("Modifiers", modifiers);
      fresh.set("Amount", amount.toDouble());
      allowed.append(fresh);
    }
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  return true;
}

bool CarrierExtras::providerNumbersAvailable(const store::Record& carrier) {
  if (!carrier.isStored()) {
    prompter_.error(saveBeforePins);
    return false;
  }
  if (!practice_.tableExists("QVPHY") || practice_.openTable("QVPHY").count() == 0) {
    prompter_.error(providerRequired);
    return false;
  }
  return true;
}

std::vector<store::Record> CarrierExtras::providerNumbers(const std::string& carrier) {
  std::vector<store::Record> rows;
  store::Table numbers = practice_.openTable("QVPINS");
  numbers.setOrder("IDXINSPROV");
  numbers.setRange({store::Value{carrier}}, {store::Value{carrier}});
  numbers.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

bool CarrierExtras::setProviderNumber(const store::Record& carrier, const std::string& provider,
                                      const std::string& pinNumber, const std::string& groupId) {
  if (!providerNumbersAvailable(carrier) || !mayEdit()) return false;
  store::Table providers = practice_.openTable("QVPHY");
  providers.setOrder("Primary");
  const auto found = providers.seek({store::Value{provider}});
  if (!found) {
    prompter_.error("Provider code " + provider + " does not exist.");
    return false;
  }
  try {
    store::Table numbers = practice_.openTable("QVPINS");
    numbers.setOrder("IDXINSPROV");
    auto row = numbers.seek({store::Value{carrier.text("Code")}, store::Value{found->text("Code")}});
    if (!row) {
      row = numbers.newRecord();
      row->set("Insurance Code", carrier.text("Code"));
      row->set("Provider Code", found->text("Code"));
    }
    row->set("Pin Number", pinNumber);
    row->set("Group ID", groupId);
    if (row->isStored()) numbers.post(*row);
    else numbers.append(*row);
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  return true;
}

std::vector<store::Record> CarrierExtras::numbersOfProvider(const std::string& provider) {
  std::vector<store::Record> rows;
  store::Table numbers = practice_.openTable("QVPINS");
  numbers.setOrder("IDXPROVINS");
  numbers.setRange({store::Value{provider}}, {store::Value{provider}});
  numbers.forEach([&](const store::Record& row) { rows.push_back(row); });
  return rows;
}

bool CarrierExtras::setNumberOfProvider(const store::Record& provider, const std::string& carrier,
                                        const std::string& pinNumber, const std::string& groupId) {
  if (!provider.isStored()) {
    prompter_.error("A new provider must be saved before you can enter pin numbers for each insurance carrier.");
    return false;
  }
  store::Table carriers = practice_.openTable("QVINS");
  carriers.setOrder("Primary");
  const auto found = carriers.seek({store::Value{carrier}});
  if (!found) {
    prompter_.error("Insurance code " + carrier + " does not exist.");
    return false;
  }
  return setProviderNumber(*found, provider.text("Code"), pinNumber, groupId);
}

}  // namespace vantrell::reference
