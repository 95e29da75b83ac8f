#include "claims/claim_form.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

namespace vantrell::claims {
namespace {

using printing::Align;
using printing::Font;
using printing::FontFamily;

// Claim data prints in a fixed-pitch face, as form readers expect; 11 points
// stays inside the ten-to-the-inch grid.
const Font dataFont{11, false, FontFamily::Mono};
const Font captionFont{5.5};
const Font checkLabelFont{5.5};

// A service line takes two form lines: the shaded supplemental line above the
// line that holds the service.
constexpr int firstServiceLine = 46;
constexpr int serviceLineStep = 2;

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// Letters and digits only: tax IDs and diagnosis codes go on the form without
// dashes or the implied decimal point.
std::string lettersAndDigits(std::string_view text) {
  std::string result;
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c))) result += c;
  return result;
}

std::string digitsOf(std::string_view text) {
  std::string result;
  for (char c : text)
    if (std::isdigit(static_cast<unsigned char>(c))) result += c;
  return result;
}

// "LAST, FIRST, M": the order the form's name boxes ask for.
std::string formalName(const std::string& last, const std::string& first,
                       const std::string& middle) {
  std::string name = trimmed(last);
  if (!trimmed(first).empty()) name += ", " + trimmed(first);
  if (!trimmed(middle).empty()) name += ", " + trimmed(middle);
  return upper(name);
}

std::string formalName(const PicturePerson& person) {
  return formalName(person.lastName, person.firstName, person.middleInitial);
}

// "FIRST M LAST CREDENTIALS", the way a provider signs; an organisation by its name.
std::string signingName(const PictureProvider& provider) {
  if (provider.organisation) return upper(trimmed(provider.lastName));
  std::string name;
  for (const std::string& part :
       {provider.firstName, provider.middleInitial, provider.lastName, provider.credentials}) {
    const std::string piece = trimmed(part);
    if (piece.empty()) continue;
    if (!name.empty()) name += ' ';
    name += piece;
  }
  return upper(name);
}

std::string cityLine(const PictureAddress& address) {
  std::string line = trimmed(address.city);
  for (const std::string& part : {address.state, address.zipCode}) {
    const std::string piece = trimmed(part);
    if (piece.empty()) continue;
    if (!line.empty()) line += ' ';
    line += piece;
  }
  return upper(line);
}

// The lines of a name and address block, without blank lines; when they are
// more than the box holds, the two street lines share one so that the city,
// state and ZIP code stay.
std::vector<std::string> addressBlock(const std::string& name, const PictureAddress& address,
                                      std::size_t room) {
  std::vector<std::string> streets;
  for (const std::string& street : {address.street1, address.street2})
    if (!trimmed(street).empty()) streets.push_back(upper(trimmed(street)));
  std::vector<std::string> lines;
  if (!trimmed(name).empty()) lines.push_back(upper(trimmed(name)));
  const bool crowded = lines.size() + streets.size() + 1 > room && streets.size() == 2;
  if (crowded)
    lines.push_back(streets[0] + " " + streets[1]);
  else
    lines.insert(lines.end(), streets.begin(), streets.end());
  if (const std::string city = cityLine(address); !city.empty()) lines.push_back(city);
  return lines;
}

void putDate(FormValues& values, const std::string& prefix, const Date& date, bool fullYear) {
  if (date.isEmpty()) return;
  const auto day = date.value();
  values[prefix + ".month"] = fmt::format("{:02}", static_cast<unsigned>(day.month()));
  values[prefix + ".day"] = fmt::format("{:02}", static_cast<unsigned>(day.day()));
  const int year = static_cast<int>(day.year());
  values[prefix + ".year"] =
      fullYear ? fmt::format("{:04}", year) : fmt::format("{:02}", year % 100);
}

std::string spacedDate(const Date& date) {
  if (date.isEmpty()) return {};
  const auto day = date.value();
  return fmt::format("{:02} {:02} {:02}", static_cast<unsigned>(day.month()),
                     static_cast<unsigned>(day.day()), static_cast<int>(day.year()) % 100);
}

// Amounts go into a dollars column and a cents column with the form's rule
// between them, so no decimal point is printed.
void putAmount(FormValues& values, const std::string& prefix, Money amount) {
  const std::string text = amount.roundedToCents().abs().toString();
  const auto point = text.find('.');
  values[prefix + ".dollars"] = text.substr(0, point);
  values[prefix + ".cents"] = point == std::string::npos ? "00" : text.substr(point + 1, 2);
}

// Area code in the form's parentheses, the rest after them.
void putPhone(FormValues& values, const std::string& prefix, const std::string& phone) {
  const std::string digits = digitsOf(phone);
  if (digits.empty()) return;
  if (digits.size() >= 10) {
    values[prefix + ".area"] = digits.substr(0, 3);
    values[prefix + ".phone"] = digits.substr(3);
  } else {
    values[prefix + ".phone"] = digits;
  }
}

void putSex(FormValues& values, const std::string& prefix, const std::string& sex) {
  const std::string code = upper(trimmed(sex));
  if (code == "M") values[prefix + ".male"] = "X";
  if (code == "F") values[prefix + ".female"] = "X";
}

void putYesNo(FormValues& values, const std::string& prefix, bool yes) {
  values[prefix + (yes ? ".yes" : ".no")] = "X";
}

// Box 1 from the billed carrier's type; unmarked when the carrier has none.
std::string programKey(const std::string& carrierType) {
  const std::string type = upper(trimmed(carrierType));
  if (type.empty()) return {};
  if (type == "MEDICARE") return "1.medicare";
  if (type == "MEDICAID") return "1.medicaid";
  if (type == "CHAMPUS" || type.starts_with("TRICARE")) return "1.tricare";
  if (type == "CHAMPSVA" || type == "CHAMPVA") return "1.champva";
  if (type == "GROUP" || type == "HMO" || type == "PPO" || type == "COMMERCIAL" ||
      type.starts_with("BLUE") || type == "BC/BS")
    return "1.group";
  if (type == "FECA") return "1.feca";
  return "1.other";
}

std::string relationshipKey(const std::string& relationship) {
  const std::string text = upper(trimmed(relationship));
  if (text == "SELF" || text == "S" || text == "18") return "6.self";
  if (text == "SPOUSE" || text == "01") return "6.spouse";
  if (text == "CHILD" || text == "C" || text == "19") return "6.child";
  return "6.other";
}

// The other coverage of boxes 9 to 9d: for a primary claim the case's next
// policy; for a later slot the carrier billed just before this one.
const PicturePolicy* otherCoverage(const ClaimPicture& claim) {
  if (claim.slot > 1 && !claim.priorPolicies.empty()) return &claim.priorPolicies.back();
  if (claim.otherPolicy) return &*claim.otherPolicy;
  return nullptr;
}

std::string unitsText(double units) {
  if (std::abs(units - std::round(units)) < 1e-9) return fmt::format("{}", std::llround(units));
  return fmt::format("{:g}", units);
}

}  // namespace

double columnX(double column) {
  return formLeftEdge + (column - 1) * formColumnWidth;
}

double lineY(double line) {
  return (line - 1) * formLineHeight;
}

const std::vector<FormPlace>& claimFormPlaces() {
  static const std::vector<FormPlace> places = {
      // The carrier's address in the space above the form's first box.
      {"carrier.1", 41, 1, 40},
      {"carrier.2", 41, 2, 40},
      {"carrier.3", 41, 3, 40},
      {"carrier.4", 41, 4, 40},
      {"page", 61, 5, 20, Align::Right},
      {"1.medicare", 2, 8, 1, Align::Left, "MEDICARE"},
      {"1.medicaid", 9, 8, 1, Align::Left, "MEDICAID"},
      {"1.tricare", 16, 8, 1, Align::Left, "TRICARE"},
      {"1.champva", 23, 8, 1, Align::Left, "CHAMPVA"},
      {"1.group", 31, 8, 1, Align::Left, "GROUP"},
      {"1.feca", 38, 8, 1, Align::Left, "FECA"},
      {"1.other", 46, 8, 1, Align::Left, "OTHER"},
      {"1a", 50, 8, 30},
      {"2", 1, 10, 28},
      {"3.month", 31, 10, 2},
      {"3.day", 34, 10, 2},
      {"3.year", 37, 10, 4},
      {"3.male", 43, 10, 1, Align::Left, "M"},
      {"3.female", 47, 10, 1, Align::Left, "F"},
      {"4", 50, 10, 30},
      {"5.street", 1, 12, 28},
      {"6.self", 31, 12, 1, Align::Left, "Self"},
      {"6.spouse", 35, 12, 1, Align::Left, "Spouse"},
      {"6.child", 40, 12, 1, Align::Left, "Child"},
      {"6.other", 45, 12, 1, Align::Left, "Other"},
      {"7.street", 50, 12, 30},
      {"5.city", 1, 14, 22},
      {"5.state", 25, 14, 4},
      {"7.city", 50, 14, 22},
      {"7.state", 74, 14, 6},
      {"5.zip", 1, 16, 12},
      {"5.area", 16, 16, 3},
      {"5.phone", 20, 16, 9},
      {"7.zip", 50, 16, 13},
      {"7.area", 66, 16, 3},
      {"7.phone", 70, 16, 10},
      {"9", 1, 18, 28},
      {"9a", 1, 20, 28},
      {"9d", 1, 26, 28},
      {"10a.yes", 35, 20, 1, Align::Left, "YES"},
      {"10a.no", 41, 20, 1, Align::Left, "NO"},
      {"10b.yes", 35, 22, 1, Align::Left, "YES"},
      {"10b.no", 41, 22, 1, Align::Left, "NO"},
      {"10b.place", 46, 22, 3},
      {"10c.yes", 35, 24, 1, Align::Left, "YES"},
      {"10c.no", 41, 24, 1, Align::Left, "NO"},
      {"10d", 31, 26, 18},
      {"11", 50, 18, 30},
      {"11a.month", 53, 20, 2},
      {"11a.day", 56, 20, 2},
      {"11a.year", 59, 20, 4},
      {"11a.male", 68, 20, 1, Align::Left, "M"},
      {"11a.female", 75, 20, 1, Align::Left, "F"},
      {"11c", 50, 24, 30},
      {"11d.yes", 52, 26, 1, Align::Left, "YES"},
      {"11d.no", 58, 26, 1, Align::Left, "NO"},
      {"12", 6, 30, 24},
      {"12.date", 37, 30, 12},
      {"13", 56, 30, 24},
      {"14.month", 3, 32, 2},
      {"14.day", 6, 32, 2},
      {"14.year", 9, 32, 2},
      {"14.qualifier", 16, 32, 3},
      {"15.qualifier", 32, 32, 3},
      {"15.month", 38, 32, 2},
      {"15.day", 41, 32, 2},
      {"15.year", 44, 32, 2},
      {"16.from.month", 54, 32, 2},
      {"16.from.day", 57, 32, 2},
      {"16.from.year", 60, 32, 2},
      {"16.to.month", 68, 32, 2},
      {"16.to.day", 71, 32, 2},
      {"16.to.year", 74, 32, 2},
      {"17.qualifier", 1, 34, 2},
      {"17", 4, 34, 25},
      {"17b", 34, 34, 15},
      {"18.from.month", 54, 34, 2},
      {"18.from.day", 57, 34, 2},
      {"18.from.year", 60, 34, 2},
      {"18.to.month", 68, 34, 2},
      {"18.to.day", 71, 34, 2},
      {"18.to.year", 74, 34, 2},
      {"19", 1, 36, 48},
      {"20.yes", 52, 36, 1, Align::Left, "YES"},
      {"20.no", 58, 36, 1, Align::Left, "NO"},
      {"20.dollars", 63, 36, 6, Align::Right},
      {"20.cents", 70, 36, 2},
      {"21.indicator", 46, 37, 1},
      {"21.A", 3, 38, 8},
      {"21.B", 16, 38, 8},
      {"21.C", 29, 38, 8},
      {"21.D", 41, 38, 8},
      {"21.E", 3, 40, 8},
      {"21.F", 16, 40, 8},
      {"21.G", 29, 40, 8},
      {"21.H", 41, 40, 8},
      {"21.I", 3, 42, 8},
      {"21.J", 16, 42, 8},
      {"21.K", 29, 42, 8},
      {"21.L", 41, 42, 8},
      {"22.code", 50, 38, 11},
      {"22.original", 62, 38, 18},
      {"23", 50, 41, 30},
      {"25", 1, 58, 15},
      {"25.ssn", 16, 58, 1, Align::Left, "SSN"},
      {"25.ein", 19, 58, 1, Align::Left, "EIN"},
      {"26", 23, 58, 14},
      {"27.yes", 38, 58, 1, Align::Left, "YES"},
      {"27.no", 43, 58, 1, Align::Left, "NO"},
      {"28.dollars", 51, 58, 7, Align::Right},
      {"28.cents", 59, 58, 2},
      {"28.continued", 51, 58, 10},
      {"29.dollars", 63, 58, 6, Align::Right},
      {"29.cents", 70, 58, 2},
      {"31.name", 1, 62, 21},
      {"31.date", 14, 63, 8},
      {"32.1", 24, 60, 26},
      {"32.2", 24, 61, 26},
      {"32.3", 24, 62, 26},
      {"32a", 24, 64, 11},
      {"32b", 37, 64, 13},
      {"33.area", 68, 59, 3},
      {"33.phone", 72, 59, 9},
      {"33.1", 51, 60, 30},
      {"33.2", 51, 61, 30},
      {"33.3", 51, 62, 30},
      {"33a", 51, 64, 11},
      {"33b", 63, 64, 18},
  };
  return places;
}

const std::vector<FormPlace>& serviceLinePlaces() {
  // Lines of the first service line; the shaded line above it is line 45.
  static const std::vector<FormPlace> places = {
      {"24A.from.month", 1, firstServiceLine, 2},
      {"24A.from.day", 4, firstServiceLine, 2},
      {"24A.from.year", 7, firstServiceLine, 2},
      {"24A.to.month", 10, firstServiceLine, 2},
      {"24A.to.day", 13, firstServiceLine, 2},
      {"24A.to.year", 16, firstServiceLine, 2},
      {"24B", 19, firstServiceLine, 2},
      {"24C", 22, firstServiceLine, 2},
      {"24D", 25, firstServiceLine, 6},
      {"24D.modifier1", 32, firstServiceLine, 2},
      {"24D.modifier2", 35, firstServiceLine, 2},
      {"24D.modifier3", 38, firstServiceLine, 2},
      {"24D.modifier4", 41, firstServiceLine, 2},
      {"24E", 44, firstServiceLine, 4},
      {"24F.dollars", 49, firstServiceLine, 7, Align::Right},
      {"24F.cents", 57, firstServiceLine, 2},
      {"24G", 59, firstServiceLine, 4, Align::Right},
      {"24H", 63, firstServiceLine, 2},
      {"24J", 68, firstServiceLine, 11},
  };
  return places;
}

const std::vector<FormBox>& claimFormBoxes() {
  static const std::vector<FormBox> boxes = {
      {"1.", 1, 49, 7, 8},
      {"1a. INSURED'S I.D. NUMBER (For Program in Item 1)", 50, 80, 7, 8},
      {"2. PATIENT'S NAME (Last Name, First Name, Middle Initial)", 1, 29, 9, 10},
      {"3. PATIENT'S BIRTH DATE   SEX", 30, 49, 9, 10},
      {"4. INSURED'S NAME (Last Name, First Name, Middle Initial)", 50, 80, 9, 10},
      {"5. PATIENT'S ADDRESS (No., Street)", 1, 29, 11, 12},
      {"6. PATIENT RELATIONSHIP TO INSURED", 30, 49, 11, 12},
      {"7. INSURED'S ADDRESS (No., Street)", 50, 80, 11, 12},
      {"CITY", 1, 23, 13, 14},
      {"STATE", 24, 29, 13, 14},
      {"8. RESERVED FOR NUCC USE", 30, 49, 13, 16},
      {"CITY", 50, 72, 13, 14},
      {"STATE", 73, 80, 13, 14},
      {"ZIP CODE", 1, 13, 15, 16},
      {"TELEPHONE (Include Area Code)", 14, 29, 15, 16},
      {"ZIP CODE", 50, 64, 15, 16},
      {"TELEPHONE (Include Area Code)", 65, 80, 15, 16},
      {"9. OTHER INSURED'S NAME (Last Name, First Name, Middle Initial)", 1, 29, 17, 18},
      {"a. OTHER INSURED'S POLICY OR GROUP NUMBER", 1, 29, 19, 20},
      {"b. RESERVED FOR NUCC USE", 1, 29, 21, 22},
      {"c. RESERVED FOR NUCC USE", 1, 29, 23, 24},
      {"d. INSURANCE PLAN NAME OR PROGRAM NAME", 1, 29, 25, 26},
      {"10. IS PATIENT'S CONDITION RELATED TO:", 30, 49, 17, 18},
      {"a. EMPLOYMENT? (Current or Previous)", 30, 49, 19, 20},
      {"b. AUTO ACCIDENT?   PLACE (State)", 30, 49, 21, 22},
      {"c. OTHER ACCIDENT?", 30, 49, 23, 24},
      {"10d. CLAIM CODES (Designated by NUCC)", 30, 49, 25, 26},
      {"11. INSURED'S POLICY GROUP OR FECA NUMBER", 50, 80, 17, 18},
      {"a. INSURED'S DATE OF BIRTH (MM DD YY)   SEX", 50, 80, 19, 20},
      {"b. OTHER CLAIM ID (Designated by NUCC)", 50, 80, 21, 22},
      {"c. INSURANCE PLAN NAME OR PROGRAM NAME", 50, 80, 23, 24},
      {"d. IS THERE ANOTHER HEALTH BENEFIT PLAN?", 50, 80, 25, 26},
      {"READ BACK OF FORM BEFORE COMPLETING & SIGNING THIS FORM.\n12. PATIENT'S OR AUTHORIZED "
       "PERSON'S SIGNATURE I authorize the release of any medical or other\ninformation necessary "
       "to process this claim.\nSIGNED                                                            "
       "         DATE",
       1, 49, 27, 30},
      {"13. INSURED'S OR AUTHORIZED PERSON'S SIGNATURE I authorize\npayment of medical benefits to "
       "the undersigned physician or supplier\nfor services described below.\nSIGNED",
       50, 80, 27, 30},
      {"14. DATE OF CURRENT ILLNESS, INJURY, or PREGNANCY (LMP)\n        MM   DD   YY          "
       "QUAL.",
       1, 29, 31, 32},
      {"15. OTHER DATE\nQUAL.                    MM   DD   YY", 30, 49, 31, 32},
      {"16. DATES PATIENT UNABLE TO WORK IN CURRENT OCCUPATION\n        FROM                      "
       "      TO",
       50, 80, 31, 32},
      {"17. NAME OF REFERRING PROVIDER OR OTHER SOURCE", 1, 29, 33, 34},
      {"17a.\n17b. NPI", 30, 49, 33, 34},
      {"18. HOSPITALIZATION DATES RELATED TO CURRENT SERVICES\n        FROM                       "
       "     TO",
       50, 80, 33, 34},
      {"19. ADDITIONAL CLAIM INFORMATION (Designated by NUCC)", 1, 49, 35, 36},
      {"20. OUTSIDE LAB?                          $ CHARGES", 50, 80, 35, 36},
      {"21. DIAGNOSIS OR NATURE OF ILLNESS OR INJURY  Relate A-L to service line below (24E)   "
       "ICD Ind.",
       1, 49, 37, 42},
      {"22. RESUBMISSION CODE          ORIGINAL REF. NO.", 50, 80, 37, 39},
      {"23. PRIOR AUTHORIZATION NUMBER", 50, 80, 40, 42},
      {"24. A.  DATE(S) OF SERVICE\n      From            To\nMM   DD   YY   MM   DD   YY", 1, 18,
       43, 56},
      {"B.\nPLACE\nOF\nSERVICE", 19, 21, 43, 56},
      {"C.\nEMG", 22, 24, 43, 56},
      {"D. PROCEDURES, SERVICES, OR SUPPLIES\n(Explain Unusual Circumstances)\nCPT/HCPCS          "
       "MODIFIER",
       25, 43, 43, 56},
      {"E.\nDIAGNOSIS\nPOINTER", 44, 48, 43, 56},
      {"F.\n$ CHARGES", 49, 58, 43, 56},
      {"G.\nDAYS OR\nUNITS", 59, 62, 43, 56},
      {"H.\nEPSDT\nFamily\nPlan", 63, 64, 43, 56},
      {"I.\nID.\nQUAL.", 65, 67, 43, 56},
      {"J.\nRENDERING\nPROVIDER ID. #", 68, 80, 43, 56},
      {"25. FEDERAL TAX I.D. NUMBER", 1, 22, 57, 58},
      {"26. PATIENT'S ACCOUNT NO.", 23, 36, 57, 58},
      {"27. ACCEPT ASSIGNMENT?", 37, 49, 57, 58},
      {"28. TOTAL CHARGE\n$", 50, 61, 57, 58},
      {"29. AMOUNT PAID\n$", 62, 72, 57, 58},
      {"30. Rsvd for NUCC Use", 73, 80, 57, 58},
      {"31. SIGNATURE OF PHYSICIAN OR SUPPLIER\nINCLUDING DEGREES OR CREDENTIALS\n(I certify that "
       "the statements on the reverse\napply to this bill and are made a part thereof.)",
       1, 22, 59, 64},
      {"32. SERVICE FACILITY LOCATION INFORMATION", 23, 49, 59, 62},
      {"a. NPI", 23, 35, 63, 64},
      {"b.", 36, 49, 63, 64},
      {"33. BILLING PROVIDER INFO & PH #", 50, 80, 59, 62},
      {"a. NPI", 50, 61, 63, 64},
      {"b.", 62, 80, 63, 64},
  };
  return boxes;
}

std::size_t claimFormPageCount(const ClaimPicture& claim) {
  if (claim.lines.empty()) return 1;
  return (claim.lines.size() + serviceLinesPerForm - 1) / serviceLinesPerForm;
}

FormValues serviceLineValues(const ClaimPicture& claim, const PictureLine& line) {
  FormValues values;
  putDate(values, "24A.from", line.dateFrom, false);
  // A single day of service repeats its date under To.
  putDate(values, "24A.to", line.dateTo.isEmpty() ? line.dateFrom : line.dateTo, false);
  values["24B"] = trimmed(line.placeOfService);
  if (line.emergency) values["24C"] = "Y";
  values["24D"] = upper(trimmed(line.procedureCode));
  for (std::size_t index = 0; index < line.modifiers.size(); ++index)
    if (!trimmed(line.modifiers[index]).empty())
      values[fmt::format("24D.modifier{}", index + 1)] = upper(trimmed(line.modifiers[index]));
  std::string pointers;
  for (int pointer : line.diagnosisPointers)
    if (pointer >= 1 && pointer <= 12) pointers += static_cast<char>('A' + pointer - 1);
  values["24E"] = pointers;
  putAmount(values, "24F", line.charge);
  values["24G"] = unitsText(line.units);
  const std::string npi = trimmed(line.renderingProviderNpi).empty()
                              ? trimmed(claim.renderingProvider.npi)
                              : trimmed(line.renderingProviderNpi);
  values["24J"] = npi;
  return values;
}

FormValues claimFormValues(const ClaimPicture& claim, std::size_t page,
                           const ClaimFormOptions& options) {
  FormValues values;
  const PicturePolicy& policy = claim.policy;
  const std::size_t pages = claimFormPageCount(claim);
  const bool lastPage = page + 1 == pages;

  const std::vector<std::string> carrier =
      addressBlock(policy.carrierName, policy.carrierAddress, 4);
  for (std::size_t index = 0; index < carrier.size() && index < 4; ++index)
    values[fmt::format("carrier.{}", index + 1)] = carrier[index];
  if (pages > 1) values["page"] = fmt::format("PAGE {} OF {}", page + 1, pages);

  if (const std::string key = programKey(policy.carrierType); !key.empty()) values[key] = "X";
  values["1a"] = upper(trimmed(policy.policyNumber));

  values["2"] = formalName(claim.patient);
  putDate(values, "3", claim.patient.dateOfBirth, true);
  putSex(values, "3", claim.patient.sex);
  values["4"] = formalName(policy.insured);

  const PictureAddress& home = claim.patient.address;
  values["5.street"] = upper(trimmed(trimmed(home.street1) + " " + trimmed(home.street2)));
  values["5.city"] = upper(trimmed(home.city));
  values["5.state"] = upper(trimmed(home.state));
  values["5.zip"] = trimmed(home.zipCode);
  putPhone(values, "5", home.phone);
  values[relationshipKey(policy.relationship)] = "X";

  const PictureAddress& insuredHome = policy.insured.address;
  values["7.street"] =
      upper(trimmed(trimmed(insuredHome.street1) + " " + trimmed(insuredHome.street2)));
  values["7.city"] = upper(trimmed(insuredHome.city));
  values["7.state"] = upper(trimmed(insuredHome.state));
  values["7.zip"] = trimmed(insuredHome.zipCode);
  putPhone(values, "7", insuredHome.phone);

  const PicturePolicy* other = otherCoverage(claim);
  if (other) {
    values["9"] = formalName(other->insured);
    values["9a"] = upper(
        trimmed(trimmed(other->groupNumber).empty() ? other->policyNumber : other->groupNumber));
    values["9d"] = upper(trimmed(other->carrierName));
  }
  putYesNo(values, "11d", other != nullptr);

  const PictureCase& fields = claim.caseFields;
  putYesNo(values, "10a", fields.relatedToEmployment);
  putYesNo(values, "10b", fields.relatedToAccident);
  if (fields.relatedToAccident) values["10b.place"] = upper(trimmed(fields.accidentState));
  putYesNo(values, "10c", fields.relatedToOtherAccident);

  values["11"] = upper(trimmed(policy.groupNumber));
  putDate(values, "11a", policy.insured.dateOfBirth, true);
  putSex(values, "11a", policy.insured.sex);
  values["11c"] =
      upper(trimmed(trimmed(policy.groupName).empty() ? policy.carrierName : policy.groupName));

  if (policy.signatureOnFile) {
    values["12"] = "SIGNATURE ON FILE";
    values["12.date"] = spacedDate(options.signatureDate);
  }
  if (policy.assignmentOfBenefits) values["13"] = "SIGNATURE ON FILE";

  if (!fields.dateOfInjuryOrIllness.isEmpty()) {
    putDate(values, "14", fields.dateOfInjuryOrIllness, false);
    values["14.qualifier"] = "431";  // onset of current symptoms or illness
  }
  if (!fields.lastSeenDate.isEmpty()) {
    putDate(values, "15", fields.lastSeenDate, false);
    values["15.qualifier"] = "304";  // latest visit or consultation
  }
  putDate(values, "16.from", fields.unableToWorkFrom, false);
  putDate(values, "16.to", fields.unableToWorkTo, false);
  if (fields.referringProvider) {
    const PictureReferringProvider& referring = *fields.referringProvider;
    std::string name;
    for (const std::string& part :
         {referring.firstName, referring.middleInitial, referring.lastName}) {
      if (trimmed(part).empty()) continue;
      if (!name.empty()) name += ' ';
      name += trimmed(part);
    }
    values["17.qualifier"] = "DN";  // referring provider
    values["17"] = upper(name);
    values["17b"] = trimmed(referring.npi);
  }
  putDate(values, "18.from", fields.hospitalizedFrom, false);
  putDate(values, "18.to", fields.hospitalizedTo, false);
  values["19"] = upper(trimmed(fields.localUse));
  putYesNo(values, "20", fields.outsideLab);
  if (fields.outsideLab) putAmount(values, "20", fields.outsideLabCharges);

  values["21.indicator"] = "0";  // ICD-10-CM
  static constexpr std::string_view letters = "ABCDEFGHIJKL";
  for (std::size_t index = 0; index < claim.diagnoses.size() && index < letters.size(); ++index)
    values[fmt::format("21.{}", letters[index])] = upper(lettersAndDigits(claim.diagnoses[index]));
  values["23"] = upper(trimmed(fields.priorAuthorization));

  const PictureProvider& billing = claim.billingProvider;
  values["25"] = upper(lettersAndDigits(billing.taxId));
  if (!values["25"].empty()) values[billing.taxIdIsSsn ? "25.ssn" : "25.ein"] = "X";
  values["26"] = upper(trimmed(claim.patientAccount));
  putYesNo(values, "27", policy.assignmentOfBenefits);
  // The total and the amount paid of the whole claim go on its last page; the
  // pages before say that the claim goes on.
  if (lastPage) {
    putAmount(values, "28", claim.totalCharge);
    // Nothing paid leaves box 29 blank.
    if (!claim.amountPaid.roundedToCents().isZero()) putAmount(values, "29", claim.amountPaid);
  } else {
    values["28.continued"] = "CONTINUED";
  }

  values["31.name"] = signingName(claim.renderingProvider);
  values["31.date"] = spacedDate(options.signatureDate);
  if (fields.facility) {
    const std::vector<std::string> facility =
        addressBlock(fields.facility->name, fields.facility->address, 3);
    for (std::size_t index = 0; index < facility.size() && index < 3; ++index)
      values[fmt::format("32.{}", index + 1)] = facility[index];
    values["32a"] = trimmed(fields.facility->npi);
  }
  putPhone(values, "33", billing.address.phone);
  const std::vector<std::string> billingBlock =
      addressBlock(signingName(billing), billing.address, 3);
  for (std::size_t index = 0; index < billingBlock.size() && index < 3; ++index)
    values[fmt::format("33.{}", index + 1)] = billingBlock[index];
  values["33a"] = trimmed(billing.npi);

  std::erase_if(values, [](const auto& entry) { return entry.second.empty(); });
  return values;
}

namespace {

const FormPlace& placeOf(const std::vector<FormPlace>& places, std::string_view key) {
  const auto found =
      std::find_if(places.begin(), places.end(), [&](const FormPlace& p) { return p.key == key; });
  if (found == places.end())
    throw std::logic_error(fmt::format("The claim form has no place for \"{}\".", key));
  return *found;
}

class FormDrawer {
 public:
  FormDrawer(printing::Page& page, const ClaimFormOptions& options)
      : page_(page), right_(options.shiftRight), down_(options.shiftDown) {}

  void drawForm() {
    // The supplemental lines of box 24 are shaded under the rules.
    for (std::size_t row = 0; row < serviceLinesPerForm; ++row) {
      const int shaded = firstServiceLine - 1 + static_cast<int>(row) * serviceLineStep;
      page_.shadedBox(x(1) - 2.5, y(shaded) + 1.5, columnX(81) - columnX(1), formLineHeight, 0.92);
      page_.text(x(0) - 4, y(shaded + 1) + 2, 8, std::to_string(row + 1), Font{8, true});
    }
    for (const FormBox& box : claimFormBoxes()) {
      const double left = x(box.left) - 2.5;
      const double top = y(box.top) + 1.5;
      const double width = columnX(box.right + 1) - columnX(box.left);
      page_.box(left, top, width, y(box.bottom + 1) - y(box.top), 0.6);
      double captionY = top + 0.6;
      std::size_t start = 0;
      while (start <= box.caption.size()) {
        const std::size_t end = std::min(box.caption.find('\n', start), box.caption.size());
        const std::string line(box.caption.substr(start, end - start));
        if (!line.empty()) {
          // A caption too long for a narrow box is set smaller before it is cut.
          // The width estimate errs wide, so at the smallest size a caption is
          // drawn whole rather than cut.
          Font font = captionFont;
          while (font.size > 3.5 && printing::estimatedWidth(line, font) > width - 2)
            font.size -= 0.25;
          page_.text(left + 1, captionY, width - 2,
                     font.size > 3.5 ? printing::fittedText(line, font, width - 2) : line, font);
        }
        captionY += captionFont.size + 0.6;
        start = end + 1;
      }
    }
    // Dollars and cents of the charges and totals sit either side of a rule.
    const auto centsRule = [&](double column, double top, double bottom) {
      page_.line(x(column) - 1, y(top) + 1.5, x(column) - 1, y(bottom + 1) + 1.5, 0.4, true);
    };
    centsRule(57, 45, 56);
    centsRule(59, 58, 58);
    centsRule(70, 58, 58);
    // The letters of the twelve diagnoses stand before their places.
    for (const FormPlace& place : claimFormPlaces())
      if (place.key.size() == 4 && place.key.starts_with("21."))
        page_.text(x(place.column) - 10, y(place.line) + 3, 8,
                   std::string(place.key.substr(3)) + ".", Font{6});
    page_.text(x(1) - 2.5, y(2), 100, "1500", Font{16, true});
    page_.text(x(1) - 2.5, y(5), 300, "HEALTH INSURANCE CLAIM FORM", Font{12, true});
    page_.text(x(1) - 2.5, y(6) + 2, 300,
               "APPROVED BY NATIONAL UNIFORM CLAIM COMMITTEE (NUCC) 02/12", Font{6});
    page_.text(x(1) - 2.5, y(65) + 4, columnX(81) - columnX(1), "PLEASE PRINT OR TYPE",
               Font{7, true}, Align::Center);
    page_.text(x(1) - 2.5, y(65) + 4, columnX(81) - columnX(1), "FORM 1500 (02-12)", Font{7},
               Align::Right);
  }

  void drawValues(const std::vector<FormPlace>& places, const FormValues& values, int lineOffset) {
    for (const auto& [key, text] : values) {
      const FormPlace& place = placeOf(places, key);
      const int line = place.line + lineOffset;
      const double left = x(place.column);
      const double width = place.width * formColumnWidth;
      page_.text(left, y(line) + 0.5, width, printing::fittedText(text, dataFont, width), dataFont,
                 place.align);
    }
  }

  // Plain paper has no pre-printed check boxes: draw each one with its words.
  void drawCheckBoxes(const std::vector<FormPlace>& places) {
    for (const FormPlace& place : places) {
      if (place.checkLabel.empty()) continue;
      const double left = x(place.column) - 0.6;
      page_.box(left, y(place.line) + 2.5, formColumnWidth + 0.6, 9.5, 0.5);
      page_.text(left + formColumnWidth + 2, y(place.line) + 4.5, 4 * formColumnWidth,
                 std::string(place.checkLabel), checkLabelFont);
    }
  }

 private:
  double x(double column) const { return columnX(column) + right_; }
  double y(double line) const { return lineY(line) + down_; }

  printing::Page& page_;
  double right_;
  double down_;
};

}  // namespace

void addClaimForm(printing::Document& document, const ClaimPicture& claim,
                  const ClaimFormOptions& options) {
  const std::size_t pages = claimFormPageCount(claim);
  for (std::size_t page = 0; page < pages; ++page) {
    printing::Page& sheet = document.addPage();
    FormDrawer drawer(sheet, options);
    if (options.paper == ClaimFormPaper::PlainPaper) {
      drawer.drawForm();
      drawer.drawCheckBoxes(claimFormPlaces());
    }
    drawer.drawValues(claimFormPlaces(), claimFormValues(claim, page, options), 0);
    const std::size_t first = page * serviceLinesPerForm;
    const std::size_t last = std::min(first + serviceLinesPerForm, claim.lines.size());
    for (std::size_t index = first; index < last; ++index) {
      FormValues line = serviceLineValues(claim, claim.lines[index]);
      std::erase_if(line, [](const auto& entry) { return entry.second.empty(); });
      drawer.drawValues(serviceLinePlaces(), line,
                        static_cast<int>(index - first) * serviceLineStep);
    }
  }
}

printing::Document claimFormDocument(const std::vector<ClaimPicture>& claims,
                                     const ClaimFormOptions& options) {
  printing::Document document(printing::usLetter, "Claims");
  for (const ClaimPicture& claim : claims) addClaimForm(document, claim, options);
  return document;
}

}  // namespace vantrell::claims
