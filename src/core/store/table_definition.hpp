#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::store {

// The stored types of the practice tables. Character fields are fixed width and
// blank padded in the system's eyes; we store them right-trimmed.
enum class FieldType {
  Character,
  Integer,        // 32-bit signed
  AutoIncrement,  // 32-bit, assigned by the engine on insert, never reused
  Double,         // most money amounts are doubles
  Money,          // fixed point, four decimals
  Logical,
  Date,
  Timestamp,
  Memo,
};

std::string_view fieldTypeName(FieldType type);

struct FieldDefinition {
  std::string name;  // display name exactly as stored: "Insurance Carrier #1"
  FieldType type = FieldType::Character;
  int width = 0;     // characters; only for Character
};

namespace tag_option {
inline constexpr unsigned none = 0;
inline constexpr unsigned unique = 1;
inline constexpr unsigned caseInsensitive = 2;
}  // namespace tag_option

struct TagDefinition {
  std::string name;  // "Primary", "Idxchartdate", ...
  std::string key;   // key expressions separated by ';', as the system writes them
  bool unique = false;
  bool caseInsensitive = false;
};

// One table of a practice (or of the root data directory): its fields in stored
// order and its index tags. Built once, then immutable.
class TableDefinition {
 public:
  TableDefinition() = default;
  TableDefinition(std::string name, std::string description, std::vector<FieldDefinition> fields,
                  std::vector<TagDefinition> tags);

  const std::string& name() const { return name_; }
  const std::string& description() const { return description_; }
  const std::vector<FieldDefinition>& fields() const { return fields_; }
  const std::vector<TagDefinition>& tags() const { return tags_; }

  // Field names compare case-insensitively, as the engine does.
  std::optional<std::size_t> fieldIndex(std::string_view fieldName) const;
  const FieldDefinition& field(std::size_t index) const { return fields_.at(index); }
  const TagDefinition* findTag(std::string_view tagName) const;
  bool hasField(std::string_view fieldName) const { return fieldIndex(fieldName).has_value(); }
  // The autoincrement field, if the table has one.
  std::optional<std::size_t> autoIncrementField() const;

 private:
  std::string name_;
  std::string description_;
  std::vector<FieldDefinition> fields_;
  std::vector<TagDefinition> tags_;
};

// Writes a table definition in the order the fields are stored:
//   TableBuilder("QVDEF", "Default")
//       .character("Table", 8).character("Field", 40).character("Default", 70)
//       .timestamp("Date Modified")
//       .tag("Primary", "UPPER(Table);UPPER(Field)", tag_option::unique)
//       .build();
class TableBuilder {
 public:
  TableBuilder(std::string name, std::string description);

  TableBuilder& character(std::string fieldName, int width);
  TableBuilder& integer(std::string fieldName);
  TableBuilder& autoIncrement(std::string fieldName);
  TableBuilder& floating(std::string fieldName);  // the engine's "double"
  TableBuilder& money(std::string fieldName);
  TableBuilder& logical(std::string fieldName);
  TableBuilder& date(std::string fieldName);
  TableBuilder& timestamp(std::string fieldName);
  TableBuilder& memo(std::string fieldName);
  TableBuilder& tag(std::string tagName, std::string key, unsigned options = tag_option::none);

  // Throws std::logic_error on a repeated field or tag name, or a bad width.
  TableDefinition build();

 private:
  TableBuilder& add(std::string fieldName, FieldType type, int width);

  std::string name_;
  std::string description_;
  std::vector<FieldDefinition> fields_;
  std::vector<TagDefinition> tags_;
};

}  // namespace vantrell::store
