#include "claims/claim_checks.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace vantrell::claims {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isUpperLetter(char c) {
  return c >= 'A' && c <= 'Z';
}
bool isUpperAlphanumeric(char c) {
  return isDigit(c) || isUpperLetter(c);
}
bool allDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

std::string digitsOf(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (isDigit(c)) digits += c;
  return digits;
}

std::string personName(const PicturePerson& person) {
  if (person.firstName.empty()) return person.lastName;
  if (person.lastName.empty()) return person.firstName;
  return person.firstName + " " + person.lastName;
}

std::string providerName(const PictureProvider& provider) {
  if (provider.organisation || provider.firstName.empty()) return provider.lastName;
  return provider.firstName + " " + provider.lastName;
}

std::string chartPlace(const PicturePerson& person) {
  return "Patient " + person.chartNumber;
}

class Checker {
 public:
  explicit Checker(const ClaimPicture& picture) : picture_(picture) {}

  std::vector<ClaimProblem> run() {
    carrier();
    person(picture_.patient, "the patient", true);
    insured(picture_.policy, picture_.slot);
    for (std::size_t earlier = 0; earlier < picture_.priorPolicies.size(); ++earlier)
      priorPolicy(picture_.priorPolicies[earlier], static_cast<int>(earlier) + 1);
    billingProvider();
    renderingProvider();
    referringAndFacility();
    diagnoses();
    lines();
    totals();
    return std::move(problems_);
  }

 private:
  void add(std::string what, std::string where) {
    problems_.push_back({std::move(what), std::move(where)});
  }

  std::string casePlace(const std::string& field) const {
    return fmt::format("Case {} of {}: {}", picture_.caseFields.caseNumber,
                       picture_.patient.chartNumber, field);
  }

  bool electronic() const { return picture_.billingMethod == "E"; }

  void carrier() {
    const PicturePolicy& policy = picture_.policy;
    const std::string slotName = slotLabel(picture_.slot);
    if (policy.carrierCode.empty()) {
      add(fmt::format("The claim has no {} insurance carrier to bill.", slotName),
          fmt::format("Claim {}: Insurance Carrier {}", picture_.claimNumber, picture_.slot));
      return;
    }
    const std::string place = "Insurance carrier " + policy.carrierCode;
    if (policy.carrierName.empty())
      add(fmt::format("The insurance carrier {} has no name (or is not in the carrier list).",
                      policy.carrierCode),
          place + ": Name");
    if (electronic() && policy.payerId.empty())
      add(fmt::format("The insurance carrier {} has no payer ID, which an electronic claim needs.",
                      carrierTitle(policy)),
          place + ": EMC Payor Number");
  }

  static std::string slotLabel(int slot) {
    return slot == 1 ? "primary" : slot == 2 ? "secondary" : "tertiary";
  }
  static std::string carrierTitle(const PicturePolicy& policy) {
    return policy.carrierName.empty() ? policy.carrierCode
                                      : policy.carrierName + " (" + policy.carrierCode + ")";
  }

  // Names, address and date of birth of the patient or an insured.
  void person(const PicturePerson& who, const std::string& role, bool patient) {
    const std::string place = chartPlace(who);
    const std::string name = personName(who);
    const std::string title = name.empty() ? role : role + " " + name;
    if (who.lastName.empty())
      add(fmt::format("The last name of {} is missing.", role), place + ": Last Name");
    if (who.firstName.empty())
      add(fmt::format("The first name of {} is missing.", title), place + ": First Name");
    plain(who.lastName, "last name", title, place + ": Last Name");
    plain(who.firstName, "first name", title, place + ": First Name");
    address(who.address, title, place, patient);
    if (who.dateOfBirth.isEmpty()) {
      add(fmt::format("The date of birth of {} is missing.", title), place + ": Date of Birth");
    } else if (const Date first = firstService(); !first.isEmpty() && who.dateOfBirth > first) {
      add(fmt::format("The date of birth of {} ({}) is after the first date of service ({}).",
                      title, who.dateOfBirth.toMonthDayYear(), first.toMonthDayYear()),
          place + ": Date of Birth");
    }
  }

  void address(const PictureAddress& address, const std::string& title, const std::string& place,
               bool required) {
    if (address.street1.empty() && address.city.empty() && !required) return;
    if (address.street1.empty())
      add(fmt::format("The street address of {} is missing.", title), place + ": Street 1");
    if (address.city.empty())
      add(fmt::format("The city of {} is missing.", title), place + ": City");
    plain(address.street1, "street address", title, place + ": Street 1");
    plain(address.street2, "second street line", title, place + ": Street 2");
    plain(address.city, "city", title, place + ": City");
    if (address.state.size() != 2 || !isUpperLetter(address.state[0]) ||
        !isUpperLetter(address.state[1]))
      add(address.state.empty()
              ? fmt::format("The state of {} is missing.", title)
              : fmt::format("The state \"{}\" of {} is not a two-letter state code.", address.state,
                            title),
          place + ": State");
    const std::string zip = digitsOf(address.zipCode);
    if (zip.size() != 5 && zip.size() != 9)
      add(address.zipCode.empty()
              ? fmt::format("The ZIP code of {} is missing.", title)
              : fmt::format("The ZIP code \"{}\" of {} is not five or nine digits.",
                            address.zipCode, title),
          place + ": Zip Code");
  }

  // Electronic claims carry plain printable ASCII only; accented letters and
  // other characters are refused by the receivers' parsers.
  void plain(const std::string& value, const char* what, const std::string& title,
             const std::string& place) {
    if (!electronic()) return;
    const bool printable = std::all_of(value.begin(), value.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return byte >= 0x20 && byte < 0x7f;
    });
    if (!printable)
      add(fmt::format("The {} \"{}\" of {} has a character an electronic claim cannot carry: "
                      "write it in plain letters.",
                      what, value, title),
          place);
  }

  void insured(const PicturePolicy& policy, int slot) {
    const bool self = policy.insured.chartNumber == picture_.patient.chartNumber;
    if (!self) person(policy.insured, "the insured", true);
    if (policy.policyNumber.empty())
      add(fmt::format("The {} policy ({}) has no policy number.", slotLabel(slot),
                      carrierTitle(policy)),
          casePlace("Policy Number #" + std::to_string(slot)));
  }

  void priorPolicy(const PicturePolicy& policy, int slot) {
    if (policy.carrierCode.empty()) {
      add(fmt::format("The claim goes to the {} carrier, but the case has no {} carrier.",
                      slotLabel(picture_.slot), slotLabel(slot)),
          casePlace("Insurance Carrier #" + std::to_string(slot)));
      return;
    }
    if (policy.policyNumber.empty())
      add(fmt::format("The {} policy ({}) has no policy number.", slotLabel(slot),
                      carrierTitle(policy)),
          casePlace("Policy Number #" + std::to_string(slot)));
    if (electronic() && policy.payerId.empty())
      add(fmt::format("The insurance carrier {} has no payer ID, which an electronic claim to a "
                      "later carrier needs to name it.",
                      carrierTitle(policy)),
          "Insurance carrier " + policy.carrierCode + ": EMC Payor Number");
    if (policy.insured.chartNumber != picture_.patient.chartNumber &&
        (policy.insured.lastName.empty() || policy.insured.firstName.empty()))
      add(fmt::format("The insured of the {} policy ({}) has no full name.", slotLabel(slot),
                      carrierTitle(policy)),
          chartPlace(policy.insured) + ": Last Name, First Name");
  }

  void npi(const std::string& value, const std::string& who, const std::string& place,
           bool required) {
    if (value.empty()) {
      if (required) add(fmt::format("{} has no NPI.", capitalised(who)), place);
      return;
    }
    if (!isValidNpi(value))
      add(fmt::format("The NPI {} of {} is not a valid NPI: {}.", value, who,
                      value.size() == 10 && allDigits(value) ? "its check digit does not match"
                                                             : "an NPI is ten digits"),
          place);
  }

  void billingProvider() {
    const PictureProvider& provider = picture_.billingProvider;
    if (provider.code.empty()) {
      add("The claim has no billing provider.",
          fmt::format("Claim {}: Provider", picture_.claimNumber));
      return;
    }
    const std::string place = "Provider " + provider.code;
    const std::string who =
        "the billing provider " +
        (providerName(provider).empty() ? provider.code : providerName(provider));
    if (provider.lastName.empty())
      add(fmt::format("The billing provider {} has no name (or is not in the provider list).",
                      provider.code),
          place + ": Last Name");
    npi(provider.npi, who, place + ": National Provider Identifier", true);
    if (provider.taxId.empty()) {
      add(fmt::format("{} has no federal tax ID.", capitalised(who)),
          place + ": SSN or Fed Tax ID");
    } else if (!isTaxIdForm(provider.taxId, provider.taxIdIsSsn)) {
      add(fmt::format("The tax ID {} of {} is not {}.", provider.taxId, who,
                      provider.taxIdIsSsn ? "a social security number (123-45-6789)"
                                          : "an employer ID number (12-3456789)"),
          place + ": SSN or Fed Tax ID");
    }
    address(provider.address, who, place, true);
    // Electronic claims carry the billing provider's ZIP code with all nine digits.
    if (electronic() && digitsOf(provider.address.zipCode).size() == 5)
      add(fmt::format("The ZIP code {} of {} needs all nine digits (ZIP+4) on an electronic claim.",
                      provider.address.zipCode, who),
          place + ": Zip Code");
  }

  void renderingProvider() {
    const PictureProvider& provider = picture_.renderingProvider;
    if (provider.code.empty() || provider.code == picture_.billingProvider.code) return;
    const std::string who =
        "the rendering provider " +
        (providerName(provider).empty() ? provider.code : providerName(provider));
    npi(provider.npi, who, "Provider " + provider.code + ": National Provider Identifier", true);
  }

  void referringAndFacility() {
    if (const auto& referring = picture_.caseFields.referringProvider) {
      const std::string name = referring->firstName.empty()
                                   ? referring->lastName
                                   : referring->firstName + " " + referring->lastName;
      const std::string place = "Referring provider " + referring->code;
      if (referring->lastName.empty())
        add(fmt::format("The referring provider {} has no last name.", referring->code),
            place + ": Last Name");
      npi(referring->npi, "the referring provider " + (name.empty() ? referring->code : name),
          place + ": National Provider Identifier", false);
    }
    if (const auto& facility = picture_.caseFields.facility) {
      const std::string who =
          "the facility " + (facility->name.empty() ? facility->code : facility->name);
      const std::string place = "Address " + facility->code;
      if (facility->name.empty())
        add(fmt::format("The facility {} has no name.", facility->code), place + ": Name");
      npi(facility->npi, who, place + ": ID", false);
      address(facility->address, who, place, true);
    }
  }

  void diagnoses() {
    if (picture_.diagnoses.empty()) {
      add("The claim has no diagnosis.",
          fmt::format("Claim {}: Diagnosis Code 1", picture_.claimNumber));
      return;
    }
    for (std::size_t index = 0; index < picture_.diagnoses.size(); ++index) {
      const std::string& code = picture_.diagnoses[index];
      if (!isIcd10CmForm(code))
        add(fmt::format("The diagnosis {} ({}) is not an ICD-10-CM code: it should look like "
                        "\"S93.401A\" or \"R05\".",
                        static_cast<char>('A' + index), code),
            fmt::format("Claim {}: Diagnosis Code {} (or the diagnosis code list)",
                        picture_.claimNumber, index + 1));
    }
  }

  void lines() {
    if (picture_.lines.empty()) {
      add("The claim has no charges.", fmt::format("Claim {}: charges", picture_.claimNumber));
      return;
    }
    if (picture_.lines.size() > 50)
      add(fmt::format("The claim has {} charges; an electronic claim holds at most 50. Split it.",
                      picture_.lines.size()),
          fmt::format("Claim {}: Split", picture_.claimNumber));
    for (const PictureLine& line : picture_.lines) {
      const std::string title =
          fmt::format("The charge of {} ({})",
                      line.dateFrom.isEmpty() ? "no date" : line.dateFrom.toMonthDayYear(),
                      line.procedureCode.empty() ? "no procedure" : line.procedureCode);
      const std::string place = fmt::format("Charge entry {}", line.entryNumber);
      if (line.dateFrom.isEmpty()) add(title + " has no date of service.", place + ": Date From");
      if (!line.dateFrom.isEmpty() && !line.dateTo.isEmpty() && line.dateTo < line.dateFrom)
        add(fmt::format("{} ends ({}) before it begins.", title, line.dateTo.toMonthDayYear()),
            place + ": Date To");
      if (!isProcedureCodeForm(line.procedureCode))
        add(fmt::format(
                "{}: \"{}\" is not a CPT or HCPCS code (five digits such as \"99213\", or a "
                "letter and four digits such as \"J1100\").",
                title, line.procedureCode),
            place + ": Procedure Code");
      for (std::size_t m = 0; m < line.modifiers.size(); ++m) {
        const std::string& modifier = line.modifiers[m];
        if (!modifier.empty() && (modifier.size() != 2 || !isUpperAlphanumeric(modifier[0]) ||
                                  !isUpperAlphanumeric(modifier[1])))
          add(fmt::format("{}: the modifier \"{}\" is not two letters or digits.", title, modifier),
              fmt::format("{}: Modifier {}", place, m + 1));
      }
      if (line.placeOfService.size() != 2 || !allDigits(line.placeOfService))
        add(line.placeOfService.empty()
                ? title + " has no place of service."
                : fmt::format("{}: the place of service \"{}\" is not two digits.", title,
                              line.placeOfService),
            place + ": Place of Service");
      pointers(line, title, place);
      if (line.units <= 0) add(fmt::format("{} has no units.", title), place + ": Units");
      if (line.charge <= Money{})
        add(fmt::format("{} has an amount of {}; a claim bills only amounts above zero.", title,
                        line.charge.toGroupedString()),
            place + ": Amount");
      if (line.paidByEarlierPayers > line.charge)
        add(fmt::format("{}: the earlier carriers paid {}, more than its amount of {}.", title,
                        line.paidByEarlierPayers.toGroupedString(), line.charge.toGroupedString()),
            place + ": payments applied to it");
      if (!line.renderingProviderCode.empty() &&
          line.renderingProviderCode != picture_.billingProvider.code &&
          line.renderingProviderCode != picture_.renderingProvider.code)
        npi(line.renderingProviderNpi,
            fmt::format("the provider {} of {}", line.renderingProviderCode, lowerFirst(title)),
            "Provider " + line.renderingProviderCode + ": National Provider Identifier", true);
    }
  }

  void pointers(const PictureLine& line, const std::string& title, const std::string& place) {
    bool any = false;
    for (int pointer : line.diagnosisPointers) {
      if (pointer == 0) continue;
      any = true;
      if (pointer < 1 || static_cast<std::size_t>(pointer) > picture_.diagnoses.size())
        add(fmt::format("{} points at diagnosis {}, but the claim has {}.", title,
                        pointer >= 1 && pointer <= 26
                            ? std::string(1, static_cast<char>('A' + pointer - 1))
                            : std::to_string(pointer),
                        picture_.diagnoses.empty()
                            ? std::string("none")
                            : fmt::format("only A to {}",
                                          static_cast<char>('A' + picture_.diagnoses.size() - 1))),
            place + ": Diagnosis 1-4");
    }
    if (!any) add(title + " points at no diagnosis.", place + ": Diagnosis 1-4");
  }

  void totals() {
    Money charged;
    Money paid;
    for (const PictureLine& line : picture_.lines) {
      charged += line.charge;
      paid += line.paidByEarlierPayers;
    }
    const std::string place = fmt::format("Claim {}: its charges", picture_.claimNumber);
    if (charged != picture_.totalCharge)
      add(fmt::format("The claim's total charge {} is not the sum of its charges, {}.",
                      picture_.totalCharge.toGroupedString(), charged.toGroupedString()),
          place);
    if (paid != picture_.amountPaid)
      add(fmt::format("The claim's amount paid {} is not the sum paid on its charges, {}.",
                      picture_.amountPaid.toGroupedString(), paid.toGroupedString()),
          place);
    if (picture_.balanceDue != picture_.totalCharge - picture_.amountPaid)
      add(fmt::format(
              "The claim's balance due {} is not its total charge less the amount paid, {}.",
              picture_.balanceDue.toGroupedString(),
              (picture_.totalCharge - picture_.amountPaid).toGroupedString()),
          place);
  }

  Date firstService() const {
    Date first;
    for (const PictureLine& line : picture_.lines)
      if (!line.dateFrom.isEmpty() && (first.isEmpty() || line.dateFrom < first))
        first = line.dateFrom;
    return first;
  }

  static std::string capitalised(std::string text) {
    if (!text.empty())
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
  }
  static std::string lowerFirst(std::string text) {
    if (!text.empty())
      text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
  }

  const ClaimPicture& picture_;
  std::vector<ClaimProblem> problems_;
};

}  // namespace

std::vector<ClaimProblem> checkClaim(const ClaimPicture& picture) {
  return Checker(picture).run();
}

bool isValidNpi(std::string_view npi) {
  if (npi.size() != 10 || !allDigits(npi)) return false;
  // The Luhn sum over "80840" and the first nine digits: doubling every other
  // digit from the right of the nine; the prefix contributes 24.
  int sum = 24;
  for (std::size_t index = 0; index < 9; ++index) {
    int digit = npi[8 - index] - '0';
    if (index % 2 == 0) {
      digit *= 2;
      if (digit > 9) digit -= 9;
    }
    sum += digit;
  }
  const int check = (10 - sum % 10) % 10;
  return check == npi[9] - '0';
}

bool isTaxIdForm(std::string_view taxId, bool ssn) {
  const std::string digits = digitsOf(taxId);
  if (digits.size() != 9 || digits == "000000000") return false;
  if (allDigits(taxId)) return true;
  // With dashes, only where the number is written with them.
  if (ssn)
    return taxId.size() == 11 && taxId[3] == '-' && taxId[6] == '-' &&
           allDigits(taxId.substr(0, 3)) && allDigits(taxId.substr(4, 2)) &&
           allDigits(taxId.substr(7));
  return taxId.size() == 10 && taxId[2] == '-' && allDigits(taxId.substr(0, 2)) &&
         allDigits(taxId.substr(3));
}

bool isIcd10CmForm(std::string_view code) {
  if (code.size() < 3 || !isUpperLetter(code[0]) || !isDigit(code[1]) ||
      !isUpperAlphanumeric(code[2]))
    return false;
  std::string_view rest = code.substr(3);
  if (!rest.empty() && rest[0] == '.') {
    rest.remove_prefix(1);
    if (rest.empty()) return false;
  }
  return rest.size() <= 4 && std::all_of(rest.begin(), rest.end(), isUpperAlphanumeric);
}

bool isProcedureCodeForm(std::string_view code) {
  if (code.size() != 5) return false;
  if (allDigits(code)) return true;
  if (allDigits(code.substr(0, 4)) && (code[4] == 'F' || code[4] == 'T' || code[4] == 'U'))
    return true;
  return code[0] >= 'A' && code[0] <= 'V' && allDigits(code.substr(1));
}

}  // namespace vantrell::claims
