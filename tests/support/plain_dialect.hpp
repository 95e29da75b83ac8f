#pragma once

#include <string>
#include <string_view>

#include "store/dialect.hpp"

namespace vantrell::testing {

// A dialect that writes plain SQL, for checks that never reach an engine
// (parsing and refusing filters, fuzzing).
struct PlainDialect final : store::Dialect {
  std::string_view engineName() const override { return "plain"; }
  std::string columnDefinition(const store::FieldDefinition& field) const override { return field.name; }
  std::string_view rowIdentityColumn() const override { return "id"; }
  std::string_view rowIdentityParameter() const override { return "?"; }
  std::string keyColumn(std::string column, store::FieldType) const override { return column; }
  store::Value emptyKeyValue(store::FieldType) const override { return {}; }
  std::string padded(std::string expression, int) const override { return expression; }
  std::string contains(std::string haystack, std::string needle) const override {
    return haystack + " CONTAINS " + needle;
  }
};

}  // namespace vantrell::testing
