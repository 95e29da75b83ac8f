#pragma once

#include <string>
#include <vector>

#include "common/money.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/prompter.hpp"

namespace vantrell::reference {

// What the carrier window keeps besides the carrier: its allowed amounts per
// procedure and modifiers (QVALL), and the providers' numbers with it (QVPINS).
// Both need the carrier saved first.
class CarrierExtras {
 public:
  CarrierExtras(store::Connection& practice, ui::Prompter& prompter, security::Security* security);

  // False, after the system's message, while the carrier is not saved.
  bool allowedAmountsAvailable(const store::Record& carrier);
  std::vector<store::Record> allowedAmounts(const std::string& carrier);
  // Adds or changes the allowed amount; the procedure must be a code of the practice.
  bool setAllowedAmount(const store::Record& carrier, const std::string& procedure, const std::string& modifiers,
                        Money amount);

  // False, after the system's message, while the carrier is not saved or no
  // provider is set up.
  bool providerNumbersAvailable(const store::Record& carrier);
  std::vector<store::Record> providerNumbers(const std::string& carrier);
  bool setProviderNumber(const store::Record& carrier, const std::string& provider, const std::string& pinNumber,
                         const std::string& groupId);
  // The same numbers from the provider's side: the provider window.
  std::vector<store::Record> numbersOfProvider(const std::string& provider);
  bool setNumberOfProvider(const store::Record& provider, const std::string& carrier, const std::string& pinNumber,
                           const std::string& groupId);

  static constexpr const char* saveBeforeAllowedAmounts =
      "A new insurance must be saved before you can enter allowed amounts for each procedure.";
  static constexpr const char* saveBeforePins =
      "A new insurance must be saved before you can enter pin numbers for each provider.";
  static constexpr const char* providerRequired = "A provider must be set up before you can enter pin numbers.";
  static constexpr const char* loadingAllowedAmounts = "Loading allowed amounts\nPlease Wait...";

 private:
  bool mayEdit();

  store::Connection& practice_;
  ui::Prompter& prompter_;
  security::Security* security_;
};

}  // namespace vantrell::reference
