#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

namespace vantrell::collections {

// The questions of the collection letter run; empty bounds do not restrict.
struct LetterRunCriteria {
  std::string partyFrom, partyTo;
  std::string patientFrom, patientTo;
  Date followUpFrom, followUpTo;
  Date createdFrom, createdTo;
  std::int64_t itemFrom = 0, itemTo = 0;  // 0: no bound
  Money balanceFrom = Money::fromCents(1);
  Money balanceTo = Money::fromCents(9999900);
  std::string status = "0";
  bool excludeFollowingPlan = true;
  bool generateLetters = true;
  bool addToTracer = true;
};

// One work list item in a letter.
struct LetterItem {
  std::int64_t itemNumber = 0;
  std::string patient;
  std::string patientName;
  Money balance;  // the item's balance when it was made
};

// One letter: to a responsible party, about the items of its patients.
struct CollectionLetter {
  std::string party;
  std::string name;
  std::vector<std::string> address;  // street lines and "City, ST Zip"
  Money balance;                     // the account's balance now
  std::vector<LetterItem> items;
};

struct LetterRunResult {
  std::vector<CollectionLetter> letters;
  std::vector<std::string> followedPlan;    // patients left out: they keep to their plan
  std::vector<std::string> reasons;         // why these accounts are in collection
  std::vector<store::Record> printedItems;  // the work list items the letters are about
};

// The reasons a letter gives, from the run's answers: the creation-date range
// read as an age in days on `today`, and the lower balance bound.
std::vector<std::string> letterReasons(const LetterRunCriteria& criteria, Date today);

// The collection letter run: selects the account items of the work list,
// leaves out patients who keep to their payment plan (marking "Followed
// Plan"), and makes one letter per responsible party from the newest item of
// each patient whose account still owes. Returns none with the message when a
// range runs backwards or nothing is left to print.
// The plan check runs under `progress`; an Abort there ends the run with none.
std::optional<LetterRunResult> runCollectionLetters(store::Connection& practice,
                                                    ui::Prompter& prompter, const ui::Clock& clock,
                                                    const LetterRunCriteria& criteria,
                                                    ui::Progress* progress = nullptr);

// Once the letters are printed: marks the accounts as in collections (when
// letters were generated) and, when asked to add to the tracer, writes a
// collection tracer record per item and counts the letter on the item. One
// database transaction; returns the tracer records written.
std::size_t recordCollectionLetters(store::Connection& practice, const ui::Clock& clock,
                                    const LetterRunCriteria& criteria, LetterRunResult& run);

}  // namespace vantrell::collections
