#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/connection.hpp"

namespace vantrell::practice {

// One line of the practice list: the name shown in lists and captions, and
// where the practice's data is (a directory, or database/practice on the server).
struct PracticeEntry {
  std::string name;
  std::string path;
  friend bool operator==(const PracticeEntry&, const PracticeEntry&) = default;
};

// The practice list (QVDBLIST) of the root data directory. Several names may
// point to one directory.
class PracticeList {
 public:
  explicit PracticeList(store::Connection& root) : root_(root) {}

  std::vector<PracticeEntry> entries();
  void add(const PracticeEntry& entry);
  // Deletes every row with that name and path; returns how many.
  int remove(const PracticeEntry& entry);
  // The name of the first row for the path.
  std::optional<std::string> nameOf(const std::string& path);
  // Why the list cannot hold the entry (a name or path wider than its field),
  // naming the value; no value when it can.
  static std::optional<std::string> refusal(const PracticeEntry& entry);

  // The hint shown when the pointer rests on an entry.
  static std::string hint(const PracticeEntry& entry);

  static constexpr const char* removeQuestion =
      "Deleting an item from this list does not delete\nthe data files associated with it. It only removes\n"
      "the name from the list\n\nDo you want to remove the name?";

 private:
  store::Connection& root_;
};

}  // namespace vantrell::practice
