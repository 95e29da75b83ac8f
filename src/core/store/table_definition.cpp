#include "store/table_definition.hpp"

#include <stdexcept>

#include "store/names.hpp"

namespace vantrell::store {

std::string_view fieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::Character: return "character";
    case FieldType::Integer: return "integer";
    case FieldType::AutoIncrement: return "autoincrement";
    case FieldType::Double: return "double";
    case FieldType::Money: return "money";
    case FieldType::Logical: return "logical";
    case FieldType::Date: return "date";
    case FieldType::Timestamp: return "timestamp";
    case FieldType::Memo: return "memo";
  }
  return "unknown";
}

TableDefinition::TableDefinition(std::string name, std::string description,
                                 std::vector<FieldDefinition> fields,
                                 std::vector<TagDefinition> tags)
    : name_(std::move(name)),
      description_(std::move(description)),
      fields_(std::move(fields)),
      tags_(std::move(tags)) {}

std::optional<std::size_t> TableDefinition::fieldIndex(std::string_view fieldName) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (equalsIgnoringCase(fields_[i].name, fieldName)) return i;
  }
  return std::nullopt;
}

const TagDefinition* TableDefinition::findTag(std::string_view tagName) const {
  for (const auto& tag : tags_) {
    if (equalsIgnoringCase(tag.name, tagName)) return &tag;
  }
  return nullptr;
}

std::optional<std::size_t> TableDefinition::autoIncrementField() const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].type == FieldType::AutoIncrement) return i;
  }
  return std::nullopt;
}

TableBuilder::TableBuilder(std::string name, std::string description)
    : name_(std::move(name)), description_(std::move(description)) {}

TableBuilder& TableBuilder::add(std::string fieldName, FieldType type, int width) {
  fields_.push_back(FieldDefinition{std::move(fieldName), type, width});
  return *this;
}

TableBuilder& TableBuilder::character(std::string fieldName, int width) {
  return add(std::move(fieldName), FieldType::Character, width);
}
TableBuilder& TableBuilder::integer(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Integer, 0);
}
TableBuilder& TableBuilder::autoIncrement(std::string fieldName) {
  return add(std::move(fieldName), FieldType::AutoIncrement, 0);
}
TableBuilder& TableBuilder::floating(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Double, 0);
}
TableBuilder& TableBuilder::money(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Money, 0);
}
TableBuilder& TableBuilder::logical(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Logical, 0);
}
TableBuilder& TableBuilder::date(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Date, 0);
}
TableBuilder& TableBuilder::timestamp(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Timestamp, 0);
}
TableBuilder& TableBuilder::memo(std::string fieldName) {
  return add(std::move(fieldName), FieldType::Memo, 0);
}

TableBuilder& TableBuilder::tag(std::string tagName, std::string key, unsigned options) {
  tags_.push_back(TagDefinition{std::move(tagName), std::move(key),
                                (options & tag_option::unique) != 0,
                                (options & tag_option::caseInsensitive) != 0});
  return *this;
}

TableDefinition TableBuilder::build() {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const auto& field = fields_[i];
    if (field.type == FieldType::Character && (field.width < 1 || field.width > 4000))
      throw std::logic_error(name_ + "." + field.name + ": character width out of range");
    for (std::size_t j = 0; j < i; ++j) {
      if (equalsIgnoringCase(fields_[j].name, field.name))
        throw std::logic_error(name_ + ": field " + field.name + " defined twice");
    }
  }
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (equalsIgnoringCase(tags_[j].name, tags_[i].name))
        throw std::logic_error(name_ + ": tag " + tags_[i].name + " defined twice");
    }
  }
  return TableDefinition(std::move(name_), std::move(description_), std::move(fields_),
                         std::move(tags_));
}

}  // namespace vantrell::store
