#include "maintenance/tutorial_data.hpp"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "maintenance/tutorial_ledger.hpp"
#include "practice/options.hpp"
#include "reference/carrier_extras.hpp"
#include "reference/code_window.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::maintenance {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// What an earlier tutorial left behind goes before the new one is typed in.
constexpr const char* replacedTables[] = {
    "QVPAX", "QVTRN",  "QVTRNE", "QVDEP", "QVCLA", "QVCLAE", "QVSTA", "QVCAS", "QVPAT", "QVAUD",
    "QVALL", "QVPINS", "QVMUL",  "QVINS", "QVPRO", "QVPHY",  "QVRPH", "QVDIA", "QVBCO", "QVADD"};

void emptyTables(store::Connection& practice) {
  for (const char* table : replacedTables) {
    if (practice.tableExists(table)) practice.executeSql(fmt::format("DELETE FROM {}", table));
  }
}

void replacePracticeRecord(store::Connection& practice) {
  store::Table table = practice.openTable("QVPRA");
  std::vector<store::Record> old;
  table.forEach([&](const store::Record& row) { old.push_back(row); });
  for (auto& row : old) table.remove(row);
  store::Record row = table.newRecord();
  for (const auto& [field, value] : Fields{{"Practice Name", "Medical Group"},
                                           {"Street 1", "100 Main Street"},
                                           {"City", "Springfield"},
                                           {"State", "IL"},
                                           {"Zip Code", "62701"},
                                           {"Phone", "(217)555-0100"},
                                           {"Practice Type", "Medical"}})
    row.setFromText(field, value);
  table.append(row);
}

// One record typed into a code table's window and saved.
store::Record enter(store::Connection& practice, const char* noun, const Fields& fields,
                    TutorialPrompter& prompter, const ui::Clock& clock) {
  reference::CodeWindow window(practice, *reference::findCodeTable(noun), prompter, clock, nullptr);
  const std::string step = fmt::format("The {} {}", noun, fields.front().second);
  prompter.require(window.startNew(), step);
  prompter.require(window.setFields(fields), step);
  prompter.require(window.save(), step);
  return window.record();
}

struct Charge {
  const char* code;
  const char* type;  // A procedure, B product, C inside lab
  const char* category;
  const char* description;
  int amountA, amountB, amountC;  // standard, self-pay and contract fees, in cents
};

// The fee schedule: office visits and procedures, products, and the tests the
// practice's own laboratory runs.
constexpr Charge feeSchedule[] = {
    {"99202", "A", "A", "Office visit, new, straightforward", 10000, 8000, 9000},
    {"99203", "A", "A", "Office visit, new patient", 12000, 9500, 11000},
    {"99204", "A", "A", "Office visit, new, moderate", 19500, 15500, 17500},
    {"99212", "A", "A", "Office visit, established, brief", 5500, 4500, 5000},
    {"99213", "A", "A", "Office visit, established", 8000, 6500, 7200},
    {"99214", "A", "A", "Office visit, established, moderate", 12000, 9500, 10800},
    {"99215", "A", "A", "Office visit, established, complex", 16500, 13000, 15000},
    {"99393", "A", "A", "Preventive visit, age 5 to 11", 13500, 11000, 12200},
    {"99396", "A", "A", "Preventive visit, age 40 to 64", 18500, 15000, 16700},
    {"93000", "A", "A", "Electrocardiogram with report", 5500, 4500, 5000},
    {"94010", "A", "A", "Spirometry", 6000, 4800, 5400},
    {"94640", "A", "A", "Nebulizer treatment", 4000, 3200, 3600},
    {"96372", "A", "A", "Injection, intramuscular", 3000, 2400, 2700},
    {"90471", "A", "A", "Immunization administration", 2500, 2000, 2300},
    {"20610", "A", "A", "Joint injection, major joint", 14000, 11000, 12600},
    {"11730", "A", "A", "Nail avulsion, partial", 15500, 12500, 14000},
    {"17110", "A", "A", "Destruction of warts, up to 14", 11000, 9000, 9900},
    {"69210", "A", "A", "Removal of impacted cerumen", 6500, 5200, 5900},
    {"73030", "A", "A", "X-ray of shoulder, 2 views", 8500, 6800, 7700},
    {"73610", "A", "A", "X-ray of ankle, 3 views", 8000, 6400, 7200},
    {"36415", "A", "C", "Venipuncture", 1200, 1000, 1100},
    {"85025", "C", "C", "Blood count, complete", 2500, 2000, 2300},
    {"80053", "C", "C", "Metabolic panel, comprehensive", 3500, 2800, 3200},
    {"80061", "C", "C", "Lipid panel", 4000, 3200, 3600},
    {"83036", "C", "C", "Hemoglobin A1c", 3000, 2400, 2700},
    {"84443", "C", "C", "Thyroid stimulating hormone", 3800, 3000, 3400},
    {"81002", "C", "C", "Urinalysis, dipstick", 1200, 1000, 1100},
    {"87880", "C", "C", "Rapid strep test", 2200, 1800, 2000},
    {"87086", "C", "C", "Urine culture, colony count", 3000, 2400, 2700},
    {"90686", "B", "B", "Influenza vaccine, quadrivalent", 3500, 3000, 3200},
    {"90715", "B", "B", "Tdap vaccine", 5500, 4800, 5000},
    {"J1030", "B", "B", "Methylprednisolone acetate 40 mg", 1800, 1500, 1600},
    {"J3301", "B", "B", "Triamcinolone acetonide 10 mg", 1500, 1200, 1400},
    {"L1906", "B", "B", "Ankle orthosis, prefabricated", 6500, 5500, 6000},
};

std::string dollars(std::int64_t cents) {
  return fmt::format("{}.{:02}", cents / 100, cents % 100);
}

void enterCodes(store::Connection& practice, TutorialPrompter& prompter, const ui::Clock& clock) {
  for (const Charge& charge : feeSchedule) {
    enter(practice, "code",
          {{"Code 1", charge.code},
           {"Type", charge.type},
           {"Description", charge.description},
           {"Insurance Category", charge.category},
           {"Amount A", dollars(charge.amountA)},
           {"Amount B", dollars(charge.amountB)},
           {"Amount C", dollars(charge.amountC)},
           {"Approved", "T"}},
          prompter, clock);
  }
  // Payments, copayments, the deductible and the adjustments.
  const Fields money[] = {
      {{"Code 1", "INSPAY"}, {"Type", "I"}, {"Description", "Insurance payment"}},
      {{"Code 1", "CASH"}, {"Type", "M"}, {"Description", "Cash payment"}},
      {{"Code 1", "CHECK"}, {"Type", "N"}, {"Description", "Check payment"}},
      {{"Code 1", "CARD"}, {"Type", "O"}, {"Description", "Credit card payment"}},
      {{"Code 1", "COPAYCASH"}, {"Type", "J"}, {"Description", "Copayment, cash"}},
      {{"Code 1", "COPAYCHK"}, {"Type", "K"}, {"Description", "Copayment, check"}},
      {{"Code 1", "COPAYCARD"}, {"Type", "L"}, {"Description", "Copayment, credit card"}},
      {{"Code 1", "DEDUCT"}, {"Type", "P"}, {"Description", "Deductible"}},
      {{"Code 1", "WRITEOFF"},
       {"Type", "T"},
       {"Description", "Insurance write-off"},
       {"Adjustment Amount Negativ", "T"}},
  };
  for (const auto& fields : money) {
    Fields withApproval = fields;
    withApproval.emplace_back("Approved", "T");
    enter(practice, "code", withApproval, prompter, clock);
  }
}

struct Carrier {
  const char* code;
  const char* name;
  const char* street;
  const char* city;
  const char* state;
  const char* zip;
  const char* phone;
  const char* type;
  const char* payerId;  // the electronic payer ID, made up for the tutorial
  double allowedShare;  // of the standard fee, kept as allowed amounts; 0 for none
};

// Medicare allows its own fee and sends no allowed amounts ahead; the two
// group plans keep a contracted schedule; the supplement pays what Medicare
// leaves to the patient.
constexpr Carrier carriers[] = {
    {"MC", "Medicare", "PO Box 3100", "Springfield", "IL", "62708", "(800)555-0141", "Medicare",
     "00952", 0},
    {"THM", "Thornvale Health Mutual", "400 Lakeview Parkway", "Peoria", "IL", "61602",
     "(800)555-0172", "Group Health Plan", "61731", 0.80},
    {"RIG", "Ridgeholt Insurance Group", "22 Foundry Square", "Chicago", "IL", "60606",
     "(800)555-0188", "Group Health Plan", "62308", 0.88},
    {"PSS", "Pellmora Senior Supplement", "9 Orchard Row", "Bloomington", "IL", "61701",
     "(800)555-0119", "Other", "37602", 0},
};

void enterCarriers(store::Connection& practice, TutorialPrompter& prompter,
                   const ui::Clock& clock) {
  reference::CarrierExtras extras(practice, prompter, nullptr);
  for (const Carrier& carrier : carriers) {
    const store::Record saved = enter(practice, "carrier",
                                      {{"Code", carrier.code},
                                       {"Name", carrier.name},
                                       {"Street 1", carrier.street},
                                       {"City", carrier.city},
                                       {"State", carrier.state},
                                       {"Zip Code", carrier.zip},
                                       {"Phone", carrier.phone},
                                       {"Type", carrier.type},
                                       {"EMC Payor Number", carrier.payerId},
                                       {"Default Payment Code", "INSPAY"},
                                       {"Default Write Off Code", "WRITEOFF"},
                                       {"Default Deductible Code", "DEDUCT"}},
                                      prompter, clock);
    if (carrier.allowedShare == 0) continue;
    for (const Charge& charge : feeSchedule) {
      const auto allowed =
          static_cast<std::int64_t>(std::llround(charge.amountA * carrier.allowedShare));
      prompter.require(extras.setAllowedAmount(saved, charge.code, "", Money::fromCents(allowed)),
                       fmt::format("The allowed amount of {} for {}", charge.code, carrier.code));
    }
  }
}

void enterPeople(store::Connection& practice, TutorialPrompter& prompter, const ui::Clock& clock) {
  const Fields providers[] = {
      {{"Code", "DJ"},
       {"Last Name", "Jones"},
       {"First Name", "Dana"},
       {"Credentials", "MD"},
       {"Specialty", "Family Practice"},
       {"National Provider Identifier", "1902847361"}},
      {{"Code", "IC"},
       {"Last Name", "Castellane"},
       {"First Name", "Imara"},
       {"Middle Initial", "R"},
       {"Credentials", "MD"},
       {"Specialty", "Internal Medicine"},
       {"National Provider Identifier", "1740398213"}},
      {{"Code", "TV"},
       {"Last Name", "Vasquell"},
       {"First Name", "Teodor"},
       {"Credentials", "NP"},
       {"Specialty", "Nurse Practitioner"},
       {"National Provider Identifier", "1578204939"}},
  };
  for (const auto& fields : providers) {
    Fields full = fields;
    // Electronic claims carry the billing ZIP+4 and the group's EIN.
    for (const auto& field : Fields{{"Street 1", "100 Main Street"},
                                    {"City", "Springfield"},
                                    {"State", "IL"},
                                    {"Zip Code", "62701-3318"},
                                    {"Phone", "(217)555-0100"},
                                    {"SSN or Fed Tax ID", "37-1482906"},
                                    {"Federal Tax ID Indicator", "T"},
                                    {"Signature on File", "T"},
                                    {"Medicare Particp Provider", "T"}})
      full.push_back(field);
    enter(practice, "provider", full, prompter, clock);
  }
  enter(practice, "refprovider",
        {{"Code", "HB"},
         {"Last Name", "Brandvik"},
         {"First Name", "Hollis"},
         {"Credentials", "MD"},
         {"Specialty", "Orthopedics"},
         {"Street 1", "810 Carroway Lane"},
         {"City", "Springfield"},
         {"State", "IL"},
         {"Zip Code", "62704"},
         {"Phone", "(217)555-0233"}},
        prompter, clock);
  enter(practice, "refprovider",
        {{"Code", "MW"},
         {"Last Name", "Wendover"},
         {"First Name", "Marguerite"},
         {"Credentials", "DO"},
         {"Specialty", "Endocrinology"},
         {"Street 1", "56 Juniper Court"},
         {"City", "Chatham"},
         {"State", "IL"},
         {"Zip Code", "62629"},
         {"Phone", "(217)555-0276"}},
        prompter, clock);
  enter(practice, "address",
        {{"Code", "MAIN"},
         {"Name", "Medical Group Main Clinic"},
         {"Street 1", "100 Main Street"},
         {"City", "Springfield"},
         {"State", "IL"},
         {"Zip Code", "62701"},
         {"Phone", "(217)555-0100"},
         {"Type", "Facility"}},
        prompter, clock);
}

// The diagnoses the tutorial's cases are about. A charge line keeps 40
// characters of a diagnosis's description, so none is longer.
constexpr std::pair<const char*, const char*> diagnoses[] = {
    {"I10", "Essential (primary) hypertension"},
    {"E11.9", "Type 2 diabetes, without complications"},
    {"J06.9", "Acute upper respiratory infection"},
    {"E78.5", "Hyperlipidemia, unspecified"},
    {"E03.9", "Hypothyroidism, unspecified"},
    {"E66.9", "Obesity, unspecified"},
    {"J02.9", "Acute pharyngitis, unspecified"},
    {"J20.9", "Acute bronchitis, unspecified"},
    {"J45.909", "Unspecified asthma, uncomplicated"},
    {"R05.9", "Cough, unspecified"},
    {"M54.50", "Low back pain, unspecified"},
    {"M25.511", "Pain in right shoulder"},
    {"M17.11", "Primary osteoarthritis, right knee"},
    {"S93.401A", "Sprain of right ankle, initial"},
    {"L60.0", "Ingrowing nail"},
    {"B07.9", "Viral wart, unspecified"},
    {"H61.21", "Impacted cerumen, right ear"},
    {"K21.9", "Reflux disease without esophagitis"},
    {"R10.9", "Unspecified abdominal pain"},
    {"F41.1", "Generalized anxiety disorder"},
    {"G47.00", "Insomnia, unspecified"},
    {"N39.0", "Urinary tract infection"},
    {"Z00.00", "Adult exam, no abnormal findings"},
    {"Z00.129", "Child health exam, no abnormal findings"},
    {"Z23", "Encounter for immunization"},
    {"R51.9", "Headache, unspecified"},
};

void enterDiagnosesAndLinks(store::Connection& practice, TutorialPrompter& prompter,
                            const ui::Clock& clock) {
  for (const auto& [code, description] : diagnoses)
    enter(practice, "diagnosis",
          {{"Code 1", code}, {"Description", description}, {"Approved", "T"}}, prompter, clock);
  enter(practice, "multilink",
        {{"Code", "ADULTPE"},
         {"Description", "Adult physical with labs"},
         {"Link Code 1", "99396"},
         {"Link Code 2", "36415"},
         {"Link Code 3", "80053"},
         {"Link Code 4", "80061"},
         {"Link Code 5", "85025"}},
        prompter, clock);
  enter(practice, "multilink",
        {{"Code", "DMVISIT"},
         {"Description", "Diabetes check with A1c"},
         {"Link Code 1", "99214"},
         {"Link Code 2", "36415"},
         {"Link Code 3", "83036"}},
        prompter, clock);
  enter(practice, "billcode", {{"Code", "A"}, {"Description", "Standard billing"}}, prompter,
        clock);
  enter(practice, "billcode", {{"Code", "S"}, {"Description", "Self-pay"}}, prompter, clock);
}

}  // namespace

void TutorialPrompter::require(bool done, const std::string& step) {
  if (message_) throw std::runtime_error(step + ": " + *std::exchange(message_, std::nullopt));
  if (!done) throw std::runtime_error(step + " was refused.");
}

void installTutorialData(store::Connection& practice, store::Connection* rootDirectory) {
  store::createMissingTables(practice, rootDirectory);
  store::Transaction transaction(practice);
  const practice::Options options = practice::Options::readAtPracticeOpen(practice);
  emptyTables(practice);
  replacePracticeRecord(practice);
  TutorialPrompter prompter;
  // The codes were set up the week before the first patient came.
  ui::FixedClock clock(
      DateTime(tutorialFirstDay.days() - std::chrono::days{7} + std::chrono::hours{9}));
  enterCodes(practice, prompter, clock);
  enterCarriers(practice, prompter, clock);
  enterPeople(practice, prompter, clock);
  enterDiagnosesAndLinks(practice, prompter, clock);
  enterTutorialAccounts(practice, options, prompter, clock);
  transaction.commit();
}

}  // namespace vantrell::maintenance
