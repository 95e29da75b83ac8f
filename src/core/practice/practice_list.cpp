#include "practice/practice_list.hpp"

#include "store/errors.hpp"
#include "store/schema_catalogue.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "store/value.hpp"

namespace vantrell::practice {

std::vector<PracticeEntry> PracticeList::entries() {
  std::vector<PracticeEntry> entries;
  if (!root_.tableExists("QVDBLIST")) return entries;
  store::Table list = root_.openTable("QVDBLIST");
  list.forEach([&](const store::Record& row) { entries.push_back({row.text("DataSet Name"), row.text("Data Path")}); });
  return entries;
}

void PracticeList::add(const PracticeEntry& entry) {
  store::ensureTable(root_, "QVDBLIST");
  store::Table list = root_.openTable("QVDBLIST");
  store::Record row = list.newRecord();
  row.set("DataSet Name", entry.name);
  row.set("Data Path", entry.path);
  list.append(row);
}

int PracticeList::remove(const PracticeEntry& entry) {
  if (!root_.tableExists("QVDBLIST")) return 0;
  store::Transaction transaction(root_);
  store::Table list = root_.openTable("QVDBLIST");
  std::vector<store::Record> matching;
  list.forEach([&](const store::Record& row) {
    if (row.text("DataSet Name") == entry.name && row.text("Data Path") == entry.path) matching.push_back(row);
  });
  for (auto& row : matching) list.remove(row);
  transaction.commit();
  return static_cast<int>(matching.size());
}

std::optional<std::string> PracticeList::nameOf(const std::string& path) {
  for (const auto& entry : entries()) {
    if (entry.path == path) return entry.name;
  }
  return std::nullopt;
}

std::optional<std::string> PracticeList::refusal(const PracticeEntry& entry) {
  const store::TableDefinition& list = store::schemaCatalogue().get("QVDBLIST");
  try {
    store::coerceToField(list.field(*list.fieldIndex("DataSet Name")), store::Value{entry.name});
    store::coerceToField(list.field(*list.fieldIndex("Data Path")), store::Value{entry.path});
  } catch (const store::InputError& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

std::string PracticeList::hint(const PracticeEntry& entry) {
  return "The data for \"" + entry.name + "\" is found in directory " + entry.path + ".";
}

}  // namespace vantrell::practice
