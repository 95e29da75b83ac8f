#include "maintenance/tutorial_ledger.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

#include <fmt/format.h>

#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::maintenance {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using transactions::ApplyDialog;
using transactions::TransactionEntryWindow;
using transactions::TransactionLine;

// The practice's story is the same on every installation: a generator of our
// own, since the standard distributions differ between libraries.
class Dice {
 public:
  explicit Dice(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int between(int low, int high) {
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool chance(int percent) { return between(1, 100) <= percent; }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(between(0, static_cast<int>(items.size()) - 1))];
  }

 private:
  std::uint64_t state_;
};

constexpr std::uint64_t tutorialSeed = 20260701;

Date plusDays(Date day, int days) {
  return Date(std::chrono::year_month_day{day.days() + std::chrono::days{days}});
}

// Visits fall on working days.
Date workingDay(Date day) {
  const std::chrono::weekday weekday{day.days()};
  if (weekday == std::chrono::Saturday) return plusDays(day, 2);
  if (weekday == std::chrono::Sunday) return plusDays(day, 1);
  return day;
}

std::string dollars(Money amount) {
  const std::int64_t cents = amount.roundedToCents().tenThousandths() / 100;
  return fmt::format("{}{}.{:02}", cents < 0 ? "-" : "", std::abs(cents) / 100,
                     std::abs(cents) % 100);
}

Money share(Money amount, double fraction) {
  return Money::fromCents(std::llround(amount.toDouble() * fraction * 100));
}

// --- The people ------------------------------------------------------------

struct Person {
  std::string last, first, middle, sex;
  Date birth;
  bool guarantor = false;
  std::size_t family = 0;  // children: their guarantor's place in the list, plus one
  std::string chart;       // once registered
};

const std::vector<const char*> surnames = {
    "Ardley",   "Bexfield",  "Corrow",    "Dunmore",   "Elsworth",  "Farrimond",
    "Garrowby", "Hallett",   "Iverleigh", "Jessop",    "Kestrell",  "Larkhill",
    "Marwood",  "Netherby",  "Oakshott",  "Pennick",   "Quarrie",   "Rushworth",
    "Sallow",   "Thackwell", "Umbers",    "Vellacott", "Wetherall", "Yelland"};
const std::vector<const char*> womenNames = {
    "Alma",     "Beatrix",   "Celia",  "Delphine", "Edith", "Flora", "Greta",  "Harriet",
    "Ines",     "Josephine", "Katrin", "Lorna",    "Mabel", "Nadia", "Odette", "Priya",
    "Rosalind", "Sabine",    "Tamsin", "Verity",   "Wilma", "Yvette"};
const std::vector<const char*> menNames = {
    "Ambrose", "Bertram", "Cyril",  "Desmond",  "Emmett", "Fergus", "Gideon", "Horace",
    "Ivo",     "Jasper",  "Kenric", "Leopold",  "Magnus", "Nolan",  "Oswin",  "Percival",
    "Quentin", "Rupert",  "Silas",  "Thaddeus", "Ulric",  "Vernon"};
constexpr const char* initials = "ABCDEFGHJKLMNPRSTW";

// Four households whose children are seen on a parent's policy.
struct Household {
  const char* last;
  const char* parent;
  const char* parentSex;
  int parentBorn;
  std::vector<std::pair<const char*, int>> children;  // name, year of birth
};
const std::vector<Household> households = {
    {"Marwood", "Celia", "Female", 1984, {{"Owen", 2015}, {"Lila", 2019}}},
    {"Pennick", "Rupert", "Male", 1980, {{"Ada", 2017}}},
    {"Quarrie", "Priya", "Female", 1987, {{"Theo", 2016}, {"Mira", 2020}}},
    {"Thackwell", "Gideon", "Male", 1979, {{"Rosa", 2014}}},
};
constexpr int adultPatients = 42;

std::vector<Person> makePeople(Dice& dice) {
  std::vector<Person> people;
  std::set<std::string> names;
  for (int i = 0; i < adultPatients; ++i) {
    Person person;
    const bool woman = i % 2 == 0;
    person.sex = woman ? "Female" : "Male";
    person.last = surnames[static_cast<std::size_t>(i) % surnames.size()];
    const auto& firsts = woman ? womenNames : menNames;
    std::size_t first = static_cast<std::size_t>(i * 5 + i / 24) % firsts.size();
    while (names.count(person.last + "," + firsts[first]) != 0) first = (first + 1) % firsts.size();
    person.first = firsts[first];
    names.insert(person.last + "," + person.first);
    person.middle = std::string(1, initials[dice.between(0, 17)]);
    // A third are on Medicare.
    const int year = i % 3 == 0 ? dice.between(1938, 1960) : dice.between(1962, 2004);
    person.birth = Date::fromYmd(year, static_cast<unsigned>(dice.between(1, 12)),
                                 static_cast<unsigned>(dice.between(1, 28)));
    people.push_back(person);
  }
  for (const auto& household : households) {
    Person parent;
    parent.last = household.last;
    parent.first = household.parent;
    parent.sex = household.parentSex;
    parent.middle = std::string(1, initials[dice.between(0, 17)]);
    parent.birth = Date::fromYmd(household.parentBorn, static_cast<unsigned>(dice.between(1, 12)),
                                 static_cast<unsigned>(dice.between(1, 28)));
    parent.guarantor = true;
    people.push_back(parent);
    const std::size_t family = people.size();
    for (const auto& [name, year] : household.children) {
      Person child;
      child.last = household.last;
      child.first = name;
      child.sex = people.size() % 2 == 0 ? "Male" : "Female";
      child.birth = Date::fromYmd(year, static_cast<unsigned>(dice.between(1, 12)),
                                  static_cast<unsigned>(dice.between(1, 28)));
      child.family = family;
      people.push_back(child);
    }
  }
  return people;
}

// --- What the cases are about ---------------------------------------------

struct CaseKind {
  const char* description;
  const char* diagnosis1;
  const char* diagnosis2;
  int fewestVisits, mostVisits;
  std::vector<std::vector<const char*>> extras;  // services that may come beside the office visit
  std::vector<const char*> firstVisit;           // a first visit of its own (no office visit code)
  const char* multilink = nullptr;               // every visit is the multilink's
  const char* referredBy = "";
  bool chronic = false;
};

const std::vector<CaseKind> adultKinds = {
    {"Hypertension follow-up",
     "I10",
     "E78.5",
     3,
     4,
     {{"93000"}, {"36415", "80053"}, {"80061"}},
     {},
     nullptr,
     "",
     true},
    {"Type 2 diabetes", "E11.9", "I10", 2, 4, {{"81002"}, {"80053"}}, {}, "DMVISIT", "MW", true},
    {"Annual physical", "Z00.00", "E66.9", 1, 2, {{"90686", "90471"}}, {}, "ADULTPE"},
    {"Upper respiratory infection", "J06.9", "R05.9", 1, 2, {{"87880"}, {"94010"}}, {}},
    {"Low back pain", "M54.50", "", 2, 3, {{"96372", "J1030"}}, {}},
    {"Right shoulder pain",
     "M25.511",
     "",
     2,
     3,
     {{"73030"}, {"20610", "J3301"}},
     {},
     nullptr,
     "HB"},
    {"Knee osteoarthritis", "M17.11", "", 2, 4, {{"20610", "J3301"}}, {}, nullptr, "HB", true},
    {"Ankle sprain", "S93.401A", "", 1, 2, {{"73610"}, {"L1906"}}, {}},
    {"Asthma", "J45.909", "J20.9", 2, 3, {{"94010"}, {"94640"}}, {}, nullptr, "", true},
    {"Hypothyroidism", "E03.9", "", 2, 3, {{"36415", "84443"}}, {}, nullptr, "MW", true},
    {"Anxiety and insomnia", "F41.1", "G47.00", 2, 4, {}, {}, nullptr, "", true},
    {"Reflux", "K21.9", "R10.9", 1, 3, {}, {}},
    {"Urinary tract infection", "N39.0", "", 1, 2, {{"81002"}, {"87086"}}, {}},
    {"Ingrown toenail", "L60.0", "", 1, 2, {{"11730"}}, {}},
    {"Common warts", "B07.9", "", 1, 3, {{"17110"}}, {}},
    {"Impacted ear wax", "H61.21", "", 1, 1, {{"69210"}}, {}},
    {"Headaches", "R51.9", "", 1, 3, {}, {}},
};
const std::vector<CaseKind> childKinds = {
    {"Well child visit", "Z00.129", "Z23", 1, 1, {}, {"99393", "90471", "90686"}},
    {"Strep throat", "J02.9", "", 1, 2, {{"87880"}}, {}},
    {"Asthma", "J45.909", "J20.9", 2, 3, {{"94010"}, {"94640"}}, {}, nullptr, "", true},
};

// --- The plan of each case ---------------------------------------------------

struct Visit {
  Date date;
  std::vector<std::string> codes;  // empty: the multilink's
  std::string multilink;
  // What insurance made of each charge, by entry number, once known.
  struct Outcome {
    Money allowed, primaryPaid, deductible;
    bool denied = false;
  };
  std::map<std::int64_t, Outcome> outcomes;
};

struct CasePlan {
  std::size_t person = 0;
  const CaseKind* kind = nullptr;
  Date start;
  std::string provider, carrier1, carrier2;
  Money copay;
  int percentA = 80;
  bool cash = false, deductible = false, firstOfPatient = false;
  std::vector<Visit> visits;
  std::int64_t caseNumber = 0;
  bool deductibleTaken = false;
  bool prepays = false;  // leaves money on account at the last visit
};

enum class EventKind { Register, Visit, Primary, Secondary, Statement };

struct Event {
  Date date;
  EventKind kind;
  std::size_t plan;
  std::size_t visit;
};

const std::vector<std::string> providers = {"DJ", "IC", "TV"};

std::vector<CasePlan> makePlans(std::vector<Person>& people, Dice& dice) {
  std::vector<CasePlan> plans;
  std::map<std::size_t, std::string> householdCarrier;
  int cashPatients = 0;
  for (std::size_t index = 0; index < people.size(); ++index) {
    const Person& person = people[index];
    if (person.guarantor) {
      householdCarrier[index + 1] = dice.chance(50) ? "THM" : "RIG";
      continue;
    }
    const bool child = person.family != 0;
    const bool medicare = person.birth < Date::fromYmd(1961, 7, 1);
    const int caseCount = child ? 1 : (dice.chance(35) ? 2 : 1);
    // Five younger adults pay for themselves.
    const bool cash = !child && !medicare && index % 8 == 3 && cashPatients < 5;
    if (cash) ++cashPatients;
    const std::string carrier1 = child      ? householdCarrier.at(person.family)
                                 : medicare ? "MC"
                                            : (dice.chance(55) ? "THM" : "RIG");
    const std::string carrier2 = carrier1 == "MC" && dice.chance(50) ? "PSS" : "";
    const bool copayPlan = carrier1 != "MC" && dice.chance(70);
    const std::string provider = dice.pick(providers);
    Date start = workingDay(plusDays(tutorialFirstDay, dice.between(0, 85)));
    for (int n = 0; n < caseCount; ++n) {
      CasePlan plan;
      plan.person = index;
      const auto& kinds = child ? childKinds : adultKinds;
      plan.kind =
          &kinds[static_cast<std::size_t>(dice.between(0, static_cast<int>(kinds.size()) - 1))];
      if (n == 1) {
        // A second complaint, not the first one again.
        while (plan.kind == plans.back().kind)
          plan.kind =
              &kinds[static_cast<std::size_t>(dice.between(0, static_cast<int>(kinds.size()) - 1))];
        start = workingDay(plusDays(start, dice.between(20, 60)));
        if (plusDays(tutorialLastDay, -20) < start)
          start = workingDay(plusDays(tutorialLastDay, -20));
      }
      plan.start = start;
      plan.firstOfPatient = n == 0;
      plan.provider = provider;
      plan.cash = cash;
      if (!cash) {
        plan.carrier1 = carrier1;
        plan.carrier2 = carrier2;
        if (copayPlan) plan.copay = Money::fromCents(carrier1 == "THM" ? 2000 : 2500);
        plan.percentA = copayPlan ? 100 : 80;
        plan.deductible = n == 0 && !copayPlan && dice.chance(carrier1 == "MC" ? 45 : 35);
      }
      const int visits = dice.between(plan.kind->fewestVisits, plan.kind->mostVisits);
      Date day = start;
      for (int v = 0; v < visits && !(plusDays(tutorialLastDay, -3) < day); ++v) {
        Visit visit;
        visit.date = day;
        if (!plan.kind->firstVisit.empty() && v == 0) {
          for (const char* code : plan.kind->firstVisit) visit.codes.emplace_back(code);
        } else if (plan.kind->multilink != nullptr && (v == 0 || plan.kind->chronic)) {
          visit.multilink = plan.kind->multilink;
        } else {
          const bool newPatient = plan.firstOfPatient && v == 0;
          const int weight = dice.between(1, 10);
          if (newPatient)
            visit.codes.emplace_back(plan.kind->chronic ? "99204"
                                                        : (weight <= 3 ? "99202" : "99203"));
          else if (plan.kind->chronic)
            visit.codes.emplace_back(weight <= 6 ? "99214" : (weight <= 9 ? "99213" : "99215"));
          else
            visit.codes.emplace_back(weight <= 3 ? "99212" : "99213");
          // Now and then a test, a shot or a procedure beside the visit; one at a time when it has
          // two lines.
          std::vector<std::vector<const char*>> extras = plan.kind->extras;
          for (const auto& bundle : extras) {
            if (visit.codes.size() >= 3 || visit.codes.size() + bundle.size() > 3) break;
            if (!dice.chance(v == 0 ? 55 : 35)) continue;
            for (const char* code : bundle) visit.codes.emplace_back(code);
          }
        }
        plan.visits.push_back(visit);
        day = workingDay(plusDays(day, dice.between(14, 35)));
      }
      plans.push_back(plan);
    }
  }
  // Money on account: a self-pay patient leaves a prepayment at the last visit
  // (and one statement check is larger than its statement).
  for (auto& plan : plans) {
    if (plan.cash) {
      plan.prepays = true;
      break;
    }
  }
  return plans;
}

std::vector<Event> makeEvents(const std::vector<CasePlan>& plans, Dice& dice) {
  std::vector<Event> events;
  for (std::size_t p = 0; p < plans.size(); ++p) {
    const CasePlan& plan = plans[p];
    events.push_back({plan.start, EventKind::Register, p, 0});
    for (std::size_t v = 0; v < plan.visits.size(); ++v) {
      const Date visit = plan.visits[v].date;
      events.push_back({visit, EventKind::Visit, p, v});
      if (plan.cash) continue;
      // Remittances come three to five weeks later; what has not come by the last day is still owed
      // by insurance.
      const Date primary = workingDay(plusDays(visit, dice.between(18, 35)));
      if (tutorialLastDay < primary) continue;
      events.push_back({primary, EventKind::Primary, p, v});
      Date last = primary;
      if (!plan.carrier2.empty()) {
        const Date secondary = workingDay(plusDays(primary, dice.between(10, 18)));
        if (tutorialLastDay < secondary) continue;
        events.push_back({secondary, EventKind::Secondary, p, v});
        last = secondary;
      }
      // The patient pays the statement, or not yet.
      const Date paid = workingDay(plusDays(last, dice.between(14, 30)));
      if (!(tutorialLastDay < paid) && dice.chance(70))
        events.push_back({paid, EventKind::Statement, p, v});
    }
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    if (a.date != b.date) return a.date < b.date;
    if (a.plan != b.plan) return a.plan < b.plan;
    return a.kind < b.kind;
  });
  return events;
}

// --- The clerk ----------------------------------------------------------------

// Part of a line applied to a charge: the charge's reference, the amount, and
// whether the payer is done with the charge.
using Part = std::tuple<std::int64_t, Money, bool>;

class Clerk {
 public:
  Clerk(store::Connection& practice, const practice::Options& options, TutorialPrompter& prompter,
        ui::FixedClock& clock)
      : practice_(practice),
        prompter_(prompter),
        clock_(clock),
        window_(TransactionEntryWindow::Surroundings{practice, options, prompter, clock, nullptr,
                                                     [this] { return today_; },
                                                     transactions::Ledger::Transactions}) {}

  void work(std::vector<Person>& people, std::vector<CasePlan>& plans,
            const std::vector<Event>& events) {
    people_ = &people;
    for (std::size_t i = 0; i < events.size();) {
      // One sitting per case and day: the lines of the day, then one save.
      std::size_t end = i;
      while (end < events.size() && events[end].date == events[i].date &&
             events[end].plan == events[i].plan)
        ++end;
      setDay(events[i].date);
      CasePlan& plan = plans[events[i].plan];
      std::size_t first = i;
      if (events[i].kind == EventKind::Register) {
        registerCase(plan);
        ++first;
      }
      if (first < end) {
        const std::string chart = people[plan.person].chart;
        const std::string step =
            fmt::format("Case {} of {} on {}", plan.caseNumber, chart, today_.toIso());
        prompter_.require(window_.chooseChart(chart) && window_.chooseCase(plan.caseNumber), step);
        bool changed = false;
        for (std::size_t e = first; e < end; ++e) changed = happen(plan, events[e]) || changed;
        if (changed) prompter_.require(window_.save(), step + ", the save");
        window_.close();
      }
      i = end;
    }
  }

 private:
  void setDay(Date day) {
    today_ = day;
    clock_.set(DateTime(day.days() + std::chrono::hours{9}));
  }

  void registerPerson(Person& person) {
    if (!person.chart.empty()) return;
    if (person.family != 0) registerPerson((*people_)[person.family - 1]);
    accounts::PatientWindow window(practice_, prompter_, clock_, nullptr, false);
    const std::string step = fmt::format("The patient {}, {}", person.last, person.first);
    prompter_.require(window.startNew(), step);
    const int serial = ++registered_;
    const std::size_t town = static_cast<std::size_t>(serial) % 4;
    const char* const towns[] = {"Springfield", "Chatham", "Rochester", "Sherman"};
    const char* const zips[] = {"62704", "62629", "62563", "62684"};
    const char* const streets[] = {"Maple Avenue", "Cedar Lane",   "Willow Street", "Prairie Road",
                                   "Elm Court",    "Linden Drive", "Orchard Way",   "Mill Street"};
    Fields fields = {
        {"Last Name", person.last},
        {"First Name", person.first},
        {"Middle Initial", person.middle},
        {"Patient Type", person.guarantor ? "Guarantor" : "Patient"},
        {"Sex", person.sex},
        {"Date of Birth", person.birth.toIso()},
        {"Street 1", fmt::format("{} {}", 100 + serial * 37 % 2800, streets[serial % 8])},
        {"City", towns[town]},
        {"State", "IL"},
        {"Zip Code", zips[town]},
        {"Phone 1", fmt::format("(217)555-01{:02}", serial)},
        {"Social Security Number",
         fmt::format("9{:02}-{:02}-{:04}", 10 + serial, serial % 90 + 10, 1000 + serial * 7)},
        {"Signature on File", "T"},
        {"SOF Date", today_.toIso()},
        {"EMail", fmt::format("{}.{}@example.com", person.first, person.last)}};
    if (person.family == 0) {
      const bool retired = person.birth < Date::fromYmd(1961, 7, 1);
      fields.emplace_back("Employment Status", retired ? "Retired" : "Full time");
    }
    for (auto& [field, value] : fields) {
      if (field == "EMail") {
        for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
    }
    prompter_.require(window.setFields(fields), step);
    prompter_.require(window.save(), step);
    person.chart = window.record().text("Chart Number");
  }

  void registerCase(CasePlan& plan) {
    Person& person = (*people_)[plan.person];
    registerPerson(person);
    accounts::CaseWindow window(practice_, prompter_, clock_, nullptr);
    const std::string step = fmt::format("A case of {}", person.chart);
    prompter_.require(window.startNew(person.chart), step);
    Fields fields = {{"Description", plan.kind->description},
                     {"Assigned Provider", plan.provider},
                     {"Facility", "MAIN"},
                     {"Diagnosis 1", plan.kind->diagnosis1}};
    if (*plan.kind->diagnosis2 != '\0') fields.emplace_back("Diagnosis 2", plan.kind->diagnosis2);
    if (*plan.kind->referredBy != '\0')
      fields.emplace_back("Referring Provider", plan.kind->referredBy);
    if (person.family != 0) {
      const std::string parent = (*people_)[person.family - 1].chart;
      fields.emplace_back("Guarantor", parent);
      fields.emplace_back("Insured #1", parent);
      fields.emplace_back("Insured Relationship #1", "Child");
    }
    if (plan.cash) {
      fields.insert(fields.end(), {{"Cash Case", "T"}, {"Price Code", "B"}, {"Billing Code", "S"}});
    } else {
      const int serial = static_cast<int>(plan.person) * 7919 % 100000;
      fields.insert(fields.end(),
                    {{"Insurance Carrier #1", plan.carrier1},
                     {"Policy Number #1", plan.carrier1 == "MC"
                                              ? fmt::format("1EG4TE5MK{:02}", serial % 100)
                                              : fmt::format("{}{:07}", plan.carrier1, serial * 13)},
                     {"Group Number #1",
                      plan.carrier1 == "MC" ? "" : fmt::format("G{:05}", serial % 977 * 31)},
                     {"Policy #1 Start Date", "2026-01-01"},
                     {"Accept Assignment #1", "T"},
                     {"Percent Covered A #1", std::to_string(plan.percentA)},
                     {"Percent Covered B #1", std::to_string(plan.percentA)},
                     {"Percent Covered C #1", "100"}});
      if (plan.copay != Money{}) fields.emplace_back("Copayment Amount", dollars(plan.copay));
      if (plan.deductible)
        fields.emplace_back("Annual Deductible", plan.carrier1 == "MC" ? "257" : "500");
      if (!plan.carrier2.empty()) {
        fields.insert(fields.end(), {{"Insurance Carrier #2", plan.carrier2},
                                     {"Policy Number #2", fmt::format("PSS{:06}", serial)},
                                     {"Accept Assignment #2", "T"},
                                     {"Percent Covered A #2", "100"},
                                     {"Percent Covered B #2", "100"},
                                     {"Percent Covered C #2", "100"}});
      }
    }
    prompter_.require(window.setFields(fields), step);
    prompter_.require(window.saveAndClose(), step);
    plan.caseNumber = window.caseNumber();
  }

  bool happen(CasePlan& plan, const Event& event) {
    Visit& visit = plan.visits[event.visit];
    switch (event.kind) {
      case EventKind::Register:
        return false;
      case EventKind::Visit:
        seePatient(plan, visit, event.visit + 1 == plan.visits.size());
        return true;
      case EventKind::Primary:
        return primaryRemittance(plan, visit);
      case EventKind::Secondary:
        return secondaryRemittance(visit);
      case EventKind::Statement:
        return statementPayment(visit);
    }
    return false;
  }

  // The charges of a visit as the window holds them now.
  std::vector<const TransactionLine*> chargesOf(const Visit& visit) const {
    std::vector<const TransactionLine*> lines;
    for (const auto& line : window_.charges()) {
      if (line.row.date("Date From") == visit.date) lines.push_back(&line);
    }
    if (lines.empty())
      throw std::runtime_error("The tutorial lost the charges of " + visit.date.toIso());
    return lines;
  }

  static std::size_t rowOf(const ApplyDialog& dialog, std::int64_t chargeReference) {
    for (std::size_t row = 0; row < dialog.rows().size(); ++row) {
      if (dialog.rows()[row].chargeReference == chargeReference) return row;
    }
    throw std::runtime_error("The apply dialog does not show a charge of the visit.");
  }

  // A payment or adjustment line as typed; returns its index.
  std::size_t enterPayment(const char* code, Money amount, const std::string& whoPaid = "",
                           const std::string& check = "") {
    const std::size_t index = window_.newPayment();
    const std::string step = fmt::format("A {} line on {}", code, today_.toIso());
    prompter_.require(window_.setPaymentField(index, "Procedure Code", code), step);
    prompter_.require(window_.setPaymentField(index, "Amount", dollars(amount)), step);
    if (!whoPaid.empty())
      prompter_.require(window_.setPaymentField(index, "Who Paid", whoPaid), step);
    if (!check.empty())
      prompter_.require(window_.setPaymentField(index, "Check Number", check), step);
    prompter_.require(window_.postPayment(index), step);
    return index;
  }

  // Spreads a line over charges by their references. Insurance payments mark
  // what they settle complete; the other lines leave the marks as they are.
  void apply(std::size_t payment, const std::vector<Part>& parts) {
    auto dialog = window_.applyDialog(payment);
    prompter_.require(dialog.has_value(), "The apply dialog on " + today_.toIso());
    for (const auto& [reference, amount, complete] : parts) {
      const std::size_t row = rowOf(*dialog, reference);
      if (amount != Money{}) dialog->setThisPayment(row, amount);
      if (complete) dialog->setComplete(row, true);
    }
    prompter_.require(true, "Applying on " + today_.toIso());
    window_.closeApplyDialog(payment, *dialog);
  }

  void applyToOldest(std::size_t payment) {
    auto dialog = window_.applyDialog(payment);
    prompter_.require(dialog.has_value(), "The apply dialog on " + today_.toIso());
    dialog->applyToOldest();
    prompter_.require(true, "Applying to the oldest on " + today_.toIso());
    window_.closeApplyDialog(payment, *dialog);
  }

  void seePatient(CasePlan& plan, Visit& visit, bool lastVisit) {
    const std::size_t before = window_.charges().size();
    const std::string step = "A visit on " + today_.toIso();
    if (!visit.multilink.empty()) {
      prompter_.require(window_.multilink(visit.multilink, today_), step);
    } else {
      for (const auto& code : visit.codes) {
        const std::size_t index = window_.newCharge();
        prompter_.require(window_.setChargeField(index, "Procedure Code", code), step);
        prompter_.require(window_.setChargeField(index, "Date From", today_.toIso()), step);
        prompter_.require(window_.setChargeField(index, "Date To", today_.toIso()), step);
        // The steroid is billed by the 10 mg: a knee takes 40 mg.
        if (code == "J3301") prompter_.require(window_.setChargeField(index, "Units", "4"), step);
        prompter_.require(window_.postCharge(index), step);
      }
    }
    if (window_.charges().size() == before) throw std::runtime_error(step + " has no charges.");
    const TransactionLine& office = window_.charges()[before];
    Money total;
    for (std::size_t i = before; i < window_.charges().size(); ++i)
      total += window_.charges()[i].amount();

    if (plan.copay != Money{}) {
      const int method = dice_.between(1, 10);
      const char* code = method <= 5 ? "COPAYCHK" : (method <= 8 ? "COPAYCARD" : "COPAYCASH");
      const std::size_t payment = enterPayment(
          code, plan.copay, "", method <= 5 ? std::to_string(dice_.between(1001, 4999)) : "");
      apply(payment, {{office.reference(), plan.copay, false}});
    }
    if (plan.cash) {
      // Self-pay patients settle at the desk, most of them in full.
      const int how = dice_.between(1, 10);
      const Money paid =
          how <= 7
              ? total
              : (how <= 9 ? Money::fromCents(total.tenThousandths() / 200 / 100 * 100) : Money{});
      if (paid != Money{}) {
        const int method = dice_.between(1, 10);
        const char* code = method <= 4 ? "CASH" : (method <= 7 ? "CARD" : "CHECK");
        applyToOldest(enterPayment(code, paid, "",
                                   method > 7 ? std::to_string(dice_.between(1001, 4999)) : ""));
      }
      if (plan.prepays && lastVisit)
        enterPayment("CARD", Money::fromCents(10000));  // on account, applied later
    }
  }

  bool primaryRemittance(CasePlan& plan, Visit& visit) {
    const auto lines = chargesOf(visit);
    const bool mayDeny = lines.size() > 1 && ++remittances_ % 9 == 4;
    Money deductibleLeft;
    if (plan.deductible && !plan.deductibleTaken) {
      deductibleLeft = Money::fromCents(plan.carrier1 == "MC" ? 6000 : 7500);
      plan.deductibleTaken = true;
    }
    std::vector<Part> payments, deductibles, writeOffs;
    Money paidTotal, deductibleTotal, writeOffTotal;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const TransactionLine& line = *lines[i];
      Visit::Outcome outcome;
      // The carrier allows its contracted fee; Medicare its own, about seven tenths of ours.
      outcome.allowed = line.row.money("Allowed Amount");
      if (outcome.allowed == Money{})
        outcome.allowed = share(line.amount(), plan.carrier1 == "MC" ? 0.70 : 1.0);
      if (mayDeny && i + 1 == lines.size()) {
        // Denied for now: the charge waits for the carrier, not complete.
        outcome.denied = true;
        visit.outcomes[line.entryNumber()] = outcome;
        continue;
      }
      outcome.deductible = std::min(deductibleLeft, outcome.allowed);
      deductibleLeft = deductibleLeft - outcome.deductible;
      const std::string category = line.row.text("Insurance Category");
      const int percent = category == "C" ? 100 : plan.percentA;
      outcome.primaryPaid = share(outcome.allowed - outcome.deductible, percent / 100.0);
      if (i == 0 && plan.copay != Money{})
        outcome.primaryPaid = std::max(Money{}, outcome.allowed - plan.copay);
      visit.outcomes[line.entryNumber()] = outcome;
      payments.emplace_back(line.reference(), outcome.primaryPaid, true);
      paidTotal += outcome.primaryPaid;
      if (outcome.deductible != Money{}) {
        deductibles.emplace_back(line.reference(), outcome.deductible, false);
        deductibleTotal += outcome.deductible;
      }
      const Money writeOff = line.amount() - outcome.allowed;
      if (writeOff > Money{}) {
        writeOffs.emplace_back(line.reference(), writeOff, false);
        writeOffTotal += writeOff;
      }
    }
    if (payments.empty()) return false;
    const std::string check = fmt::format("{:08}", insuranceCheck_ += dice_.between(3, 400));
    apply(enterPayment("INSPAY", paidTotal, "1", check), payments);
    if (deductibleTotal != Money{}) {
      // A deductible line's amount is always 0, and the apply dialog tells each amount typed
      // against it that it exceeds the payment.
      prompter_.tolerate("The applied amount exceeds the total amount for this payment.");
      apply(enterPayment("DEDUCT", Money{}, "1"), deductibles);
      prompter_.tolerate("");
    }
    if (writeOffTotal != Money{}) apply(enterPayment("WRITEOFF", writeOffTotal), writeOffs);
    return true;
  }

  bool secondaryRemittance(Visit& visit) {
    std::vector<Part> payments;
    Money total;
    for (const TransactionLine* line : chargesOf(visit)) {
      const auto found = visit.outcomes.find(line->entryNumber());
      if (found == visit.outcomes.end() || found->second.denied) continue;
      // The supplement pays what Medicare left to the patient, the deductible too.
      const Money rest = found->second.allowed - found->second.primaryPaid;
      if (!(rest > Money{})) continue;
      payments.emplace_back(line->reference(), rest, true);
      total += rest;
    }
    if (payments.empty()) return false;
    const std::string check = fmt::format("{:08}", insuranceCheck_ += dice_.between(3, 400));
    apply(enterPayment("INSPAY", total, "2", check), payments);
    return true;
  }

  bool statementPayment(const Visit& visit) {
    Money owed;
    for (const TransactionLine* line : chargesOf(visit)) {
      const auto found = visit.outcomes.find(line->entryNumber());
      if (found == visit.outcomes.end() || found->second.denied) continue;
      const Money rest = transactions::remainderOf(line->row);
      if (rest > Money{}) owed += rest;
    }
    if (!(owed > Money{})) return false;
    const int serial = ++statements_;
    Money amount = owed;
    // One patient sends more than the statement asked for; some send a part.
    if (serial == 5)
      amount = Money::fromCents((owed.tenThousandths() / 10000 / 10 + 2) * 1000);
    else if (serial % 4 == 0)
      amount = Money::fromCents(std::max<std::int64_t>(owed.tenThousandths() / 20000, 1) * 100);
    applyToOldest(enterPayment("CHECK", amount, "", std::to_string(dice_.between(1001, 4999))));
    return true;
  }

  store::Connection& practice_;
  TutorialPrompter& prompter_;
  ui::FixedClock& clock_;
  Date today_ = tutorialFirstDay;
  TransactionEntryWindow window_;
  std::vector<Person>* people_ = nullptr;
  Dice dice_{tutorialSeed + 1};
  int registered_ = 0;
  int remittances_ = 0;
  int statements_ = 0;
  std::int64_t insuranceCheck_ = 40117253;
};

}  // namespace

void enterTutorialAccounts(store::Connection& practice, const practice::Options& options,
                           TutorialPrompter& prompter, ui::FixedClock& clock) {
  Dice dice(tutorialSeed);
  std::vector<Person> people = makePeople(dice);
  std::vector<CasePlan> plans = makePlans(people, dice);
  const std::vector<Event> events = makeEvents(plans, dice);
  Clerk clerk(practice, options, prompter, clock);
  clerk.work(people, plans, events);
  clock.set(DateTime(tutorialLastDay.days() + std::chrono::hours{17}));
}

}  // namespace vantrell::maintenance
