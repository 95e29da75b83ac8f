#include "store/system_fields.hpp"

#include <array>

#include "store/names.hpp"

namespace vantrell::store {
namespace {

struct KeptField {
  const char* table;  // nullptr: every table
  const char* field;
};

constexpr std::array keptFields = {
    KeptField{nullptr, "User Code"},
    KeptField{nullptr, "Date Created"},
    KeptField{nullptr, "Date Modified"},
    KeptField{"QVPAT", "Patient Reference Balance"},
    KeptField{"QVPAT", "Last Payment Amount"},
    KeptField{"QVPAT", "Date of Last Payment"},
    KeptField{"QVPAT", "Last Patient Payment Amount"},
    KeptField{"QVPAT", "Last Patient Payment Date"},
    KeptField{"QVCAS", "Visit Series Counter"},
    KeptField{"QVOPT", "Data Version Number"},
    KeptField{"QVDEP", "Unapplied Amount"},
    KeptField{"QVTRN", "Insurance 1 Amount Paid"},
    KeptField{"QVTRN", "Insurance 2 Amount Paid"},
    KeptField{"QVTRN", "Insurance 3 Amount Paid"},
    KeptField{"QVTRN", "Attorney Amount Paid"},
    KeptField{"QVTRN", "Guarantor Amount Paid"},
    KeptField{"QVTRN", "Adjustment Amount"},
    KeptField{"QVTRN", "Unapplied Amount"},
    KeptField{"QVTRNE", "Insurance 1 Amount Paid"},
    KeptField{"QVTRNE", "Insurance 2 Amount Paid"},
    KeptField{"QVTRNE", "Insurance 3 Amount Paid"},
    KeptField{"QVTRNE", "Attorney Amount Paid"},
    KeptField{"QVTRNE", "Guarantor Amount Paid"},
    KeptField{"QVTRNE", "Adjustment Amount"},
    KeptField{"QVTRNE", "Unapplied Amount"},
};

}  // namespace

bool isSystemField(const TableDefinition& table, std::string_view field) {
  const auto index = table.fieldIndex(field);
  if (!index) return false;
  const FieldDefinition& definition = table.field(*index);
  if (definition.type == FieldType::AutoIncrement) return true;
  for (const auto& kept : keptFields) {
    if ((kept.table == nullptr || equalsIgnoringCase(kept.table, table.name())) &&
        definition.name == kept.field)
      return true;
  }
  return false;
}

std::string systemFieldRefusal(std::string_view field) {
  return "The field \"" + std::string(field) + "\" is kept by the program and cannot be set.";
}

}  // namespace vantrell::store
