#include "store/sql_expression.hpp"

#include <charconv>
#include <cmath>

#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

enum class Category { Text, Number, Logical, Date, Timestamp, Empty };

Category categoryOf(FieldType type) {
  switch (type) {
    case FieldType::Character:
    case FieldType::Memo:
      return Category::Text;
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double:
    case FieldType::Money:
      return Category::Number;
    case FieldType::Logical:
      return Category::Logical;
    case FieldType::Date:
      return Category::Date;
    case FieldType::Timestamp:
      return Category::Timestamp;
  }
  return Category::Text;
}

bool isLiteral(const Expression& node) {
  return node.kind == Expression::Kind::Text || node.kind == Expression::Kind::Number ||
         node.kind == Expression::Kind::Logical || node.kind == Expression::Kind::DateLiteral;
}

// The field an expression is about, looking through UPPER().
const FieldDefinition* underlyingField(const TableDefinition& table, const Expression& node) {
  if (node.kind == Expression::Kind::Field) return &table.field(node.fieldIndex);
  if (node.kind == Expression::Kind::Upper && node.children[0]->kind == Expression::Kind::Field)
    return &table.field(node.children[0]->fieldIndex);
  return nullptr;
}

class FilterTranslator {
 public:
  FilterTranslator(const TableDefinition& table, std::string_view filter, const Dialect& dialect)
      : table_(table), filter_(filter), dialect_(dialect) {}

  SqlFragment translate(const Expression& root) {
    out_.sql = condition(root);
    return std::move(out_);
  }

 private:
  [[noreturn]] void fail(const Expression& node, const std::string& reason) const {
    throw FilterError(std::string(filter_), reason, node.position);
  }

  Category category(const Expression& node) const {
    switch (node.kind) {
      case Expression::Kind::Field:
        return categoryOf(table_.field(node.fieldIndex).type);
      case Expression::Kind::Text:
        return trimRight(node.text).empty() ? Category::Empty : Category::Text;
      case Expression::Kind::Number:
        return Category::Number;
      case Expression::Kind::Logical:
        return Category::Logical;
      case Expression::Kind::DateLiteral:
        return trimRight(node.text).empty() ? Category::Empty : Category::Date;
      case Expression::Kind::Upper:
      case Expression::Kind::Concat:
        return Category::Text;
      default:
        return Category::Logical;
    }
  }

  std::string bind(Value value) {
    out_.parameters.push_back(std::move(value));
    return "?";
  }

  // A literal bound in the type of what it is compared with.
  std::string literal(const Expression& node, Category as, const FieldDefinition* field) {
    switch (node.kind) {
      case Expression::Kind::Text: {
        const std::string text(trimRight(node.text));
        if (as == Category::Text) return bind(text);
        if (as == Category::Date) {
          const auto date = Date::parse(text);
          if (!date) fail(node, "'" + text + "' is not a date");
          return bind(*date);
        }
        if (as == Category::Timestamp) {
          const auto stamp = DateTime::parse(text);
          if (!stamp) fail(node, "'" + text + "' is not a date and time");
          return bind(*stamp);
        }
        break;
      }
      case Expression::Kind::Number: {
        if (as != Category::Number) break;
        double number = 0;
        const auto* end = node.text.data() + node.text.size();
        auto [ptr, error] = std::from_chars(node.text.data(), end, number);
        if (error != std::errc{} || ptr != end) fail(node, "'" + node.text + "' is not a number");
        if (field != nullptr && field->type == FieldType::Money)
          return bind(Money::fromDouble(number));
        if (node.text.find('.') == std::string::npos && std::abs(number) < 9.0e15)
          return bind(static_cast<std::int64_t>(number));
        // A fraction against a whole-number field: compare as a decimal on both engines.
        return "CAST(" + bind(number) + " AS NUMERIC)";
      }
      case Expression::Kind::Logical:
        if (as == Category::Logical) return bind(node.logical);
        break;
      case Expression::Kind::DateLiteral: {
        const auto date = Date::parse(node.text);
        if (!date || date->isEmpty()) fail(node, "CTOD('" + node.text + "') is not a date");
        if (as == Category::Date) return bind(*date);
        if (as == Category::Timestamp)
          return bind(DateTime(std::chrono::sys_seconds{date->days()}));
        break;
      }
      default:
        break;
    }
    fail(node, "this value cannot be compared with " +
                   (field != nullptr ? "the field " + field->name : std::string("that")));
  }

  std::string value(const Expression& node, Category context, const FieldDefinition* field,
                    bool raw = false) {
    switch (node.kind) {
      case Expression::Kind::Field: {
        const auto& own = table_.field(node.fieldIndex);
        const std::string column = Dialect::quoteIdentifier(own.name);
        // An empty number or logical compares as 0 or false, as a record reads it.
        if (!raw && categoryOf(own.type) == Category::Number) return "COALESCE(" + column + ", 0)";
        if (!raw && own.type == FieldType::Logical) return "COALESCE(" + column + ", FALSE)";
        return column;
      }
      case Expression::Kind::Upper: {
        if (category(*node.children[0]) != Category::Text) fail(node, "UPPER expects text");
        return "UPPER(" + value(*node.children[0], Category::Text, nullptr) + ")";
      }
      case Expression::Kind::Concat: {
        const auto& left = *node.children[0];
        const auto& right = *node.children[1];
        if (category(left) != Category::Text && category(left) != Category::Empty)
          fail(left, "'+' joins text only");
        if (category(right) != Category::Text && category(right) != Category::Empty)
          fail(right, "'+' joins text only");
        // Joined character fields keep their blank padding, as keys built the same way do.
        const auto operand = [&](const Expression& side) {
          std::string sql = value(side, Category::Text, nullptr);
          if (side.kind == Expression::Kind::Field &&
              table_.field(side.fieldIndex).type == FieldType::Character)
            sql = dialect_.padded(sql, table_.field(side.fieldIndex).width);
          return sql;
        };
        const std::string leftSql = operand(left);
        const std::string rightSql = operand(right);
        // Compared as text with its trailing blanks ignored, as character values are.
        return "RTRIM(" + leftSql + " || " + rightSql + ")";
      }
      default:
        if (isLiteral(node)) {
          if (node.kind == Expression::Kind::Text && context == Category::Text)
            return bind(std::string(trimRight(node.text)));
          return literal(node, context, field);
        }
        fail(node, "a condition cannot stand here");
    }
  }

  std::string emptyTest(const Expression& subject, bool negate) {
    const Category kind = category(subject);
    const std::string sql = value(subject, kind, underlyingField(table_, subject), true);
    if (kind == Category::Text) return "(" + sql + (negate ? " <> ''" : " = ''") + ")";
    return "(" + sql + (negate ? " IS NOT NULL" : " IS NULL") + ")";
  }

  std::string comparison(const Expression& node) {
    const auto& left = *node.children[0];
    const auto& right = *node.children[1];
    if (node.op == Expression::Operator::Contains) {
      return dialect_.contains(value(right, Category::Text, nullptr),
                               value(left, Category::Text, nullptr));
    }
    Category leftKind = category(left);
    Category rightKind = category(right);
    // An empty string or CTOD('') stands for the empty value.
    if (leftKind == Category::Empty || rightKind == Category::Empty) {
      const Expression& subject = leftKind == Category::Empty ? right : left;
      if (category(subject) == Category::Empty) return "(1=1)";
      if (node.op == Expression::Operator::Equal) return emptyTest(subject, false);
      if (node.op == Expression::Operator::NotEqual) return emptyTest(subject, true);
      return "(1=0)";
    }
    const FieldDefinition* field = underlyingField(table_, left);
    if (field == nullptr) field = underlyingField(table_, right);
    // Timestamps compare with plain dates as with midnight.
    if (leftKind == Category::Timestamp && rightKind == Category::Date) rightKind = leftKind;
    if (rightKind == Category::Timestamp && leftKind == Category::Date) leftKind = rightKind;
    const Category kind = isLiteral(left) ? rightKind : leftKind;
    if (!isLiteral(left) && !isLiteral(right) && leftKind != rightKind)
      fail(node, "the two sides are of different kinds");
    const std::string leftSql = value(left, kind, field);
    const std::string rightSql = value(right, kind, field);
    static constexpr const char* symbols[] = {" = ", " <> ", " < ", " <= ", " > ", " >= "};
    return "(" + leftSql + symbols[static_cast<int>(node.op)] + rightSql + ")";
  }

  std::string condition(const Expression& node) {
    switch (node.kind) {
      case Expression::Kind::And:
      case Expression::Kind::Or:
        return chain(node.children, 0, node.children.size(),
                     node.kind == Expression::Kind::And ? " AND " : " OR ");
      case Expression::Kind::Not:
        return "(NOT " + condition(*node.children[0]) + ")";
      case Expression::Kind::Compare:
        return comparison(node);
      case Expression::Kind::Empty:
        return emptyTest(*node.children[0], false);
      case Expression::Kind::Logical:
        return node.logical ? "(1=1)" : "(1=0)";
      case Expression::Kind::Field:
        if (table_.field(node.fieldIndex).type == FieldType::Logical)
          return "(COALESCE(" + Dialect::quoteIdentifier(table_.field(node.fieldIndex).name) +
                 ", FALSE) = TRUE)";
        fail(node, "the field " + table_.field(node.fieldIndex).name + " is not a condition");
      default:
        fail(node, "a condition is expected");
    }
  }

  // The terms [first, last) of an AND or OR chain, split in halves: the engines
  // build a tree one level deep per pair of parentheses or per operator, and
  // refuse deep trees, so a chain of n terms becomes a tree of depth log2(n).
  // Bound values follow the text left to right: the terms are translated in order.
  std::string chain(const std::vector<ExpressionPtr>& terms, std::size_t first, std::size_t last,
                    const char* op) {
    if (last - first == 1) return condition(*terms[first]);
    const std::size_t middle = first + (last - first) / 2;
    const std::string left = chain(terms, first, middle, op);
    const std::string right = chain(terms, middle, last, op);
    return "(" + left + op + right + ")";
  }

  const TableDefinition& table_;
  std::string_view filter_;
  const Dialect& dialect_;
  SqlFragment out_;
};

KeyPart keyPart(const TableDefinition& table, const Expression& node, const Dialect& dialect,
                bool inConcat) {
  KeyPart part;
  switch (node.kind) {
    case Expression::Kind::Field: {
      const auto& field = table.field(node.fieldIndex);
      part.field = &field;
      part.type = field.type;
      const std::string column = Dialect::quoteIdentifier(field.name);
      if (inConcat && field.type == FieldType::Character)
        part.sql = dialect.padded(column, field.width);
      else
        part.sql = dialect.keyColumn(column, field.type);
      return part;
    }
    case Expression::Kind::Upper: {
      KeyPart inner = keyPart(table, *node.children[0], dialect, inConcat);
      inner.sql = "UPPER(" + inner.sql + ")";
      inner.upperCase = true;
      if (inner.type != FieldType::Character && inner.type != FieldType::Memo)
        throw FilterError(inner.sql, "UPPER expects text", node.position);
      return inner;
    }
    case Expression::Kind::Concat: {
      const KeyPart left = keyPart(table, *node.children[0], dialect, true);
      const KeyPart right = keyPart(table, *node.children[1], dialect, true);
      part.sql = "(" + left.sql + " || " + right.sql + ")";
      part.type = FieldType::Character;
      return part;
    }
    case Expression::Kind::Text:
      part.sql = Dialect::quoteLiteral(node.text);
      part.type = FieldType::Character;
      return part;
    default:
      throw FilterError("", "an index key holds fields, text and UPPER() only", node.position);
  }
}

}  // namespace

SqlFragment filterToSql(const TableDefinition& table, std::string_view filter,
                        const Dialect& dialect) {
  const auto root = parseFilter(table, filter);
  return FilterTranslator(table, filter, dialect).translate(*root);
}

std::vector<KeyPart> keyParts(const TableDefinition& table, std::string_view key,
                              const Dialect& dialect) {
  std::vector<KeyPart> parts;
  for (const auto& node : parseKey(table, key))
    parts.push_back(keyPart(table, *node, dialect, false));
  return parts;
}

std::vector<KeyPart> tagKeyParts(const TableDefinition& table, const TagDefinition& tag,
                                 const Dialect& dialect) {
  auto parts = keyParts(table, tag.key, dialect);
  if (tag.caseInsensitive) {
    for (auto& part : parts) {
      if (part.type == FieldType::Character && !part.upperCase) {
        part.sql = "UPPER(" + part.sql + ")";
        part.upperCase = true;
      }
    }
  }
  return parts;
}

std::vector<KeyPart> keyPartsForFields(const TableDefinition& table,
                                       const std::vector<std::string>& fieldNames,
                                       const Dialect& dialect) {
  std::vector<KeyPart> parts;
  for (const auto& name : fieldNames) {
    const auto index = table.fieldIndex(name);
    if (!index)
      throw InputError("The table " + table.name() + " has no field named \"" + name + "\".");
    KeyPart part;
    part.field = &table.field(*index);
    part.type = part.field->type;
    part.sql = dialect.keyColumn(Dialect::quoteIdentifier(part.field->name), part.type);
    parts.push_back(std::move(part));
  }
  return parts;
}

Value keyValue(const KeyPart& part, Value given, const Dialect& dialect) {
  Value value;
  if (part.field != nullptr && !(part.upperCase && part.field->type == FieldType::Memo)) {
    FieldDefinition loose = *part.field;
    if (loose.type == FieldType::Character)
      loose.width = 1 << 20;  // a seek value may be any length
    value = coerceToField(loose, std::move(given));
  } else {
    value = Value{valueToText(given)};
  }
  if (part.upperCase) {
    if (auto* text = std::get_if<std::string>(&value)) *text = upperAscii(*text);
  }
  if (isEmptyValue(value) && part.type != FieldType::Character && part.type != FieldType::Memo)
    return dialect.emptyKeyValue(part.type);
  return value;
}

}  // namespace vantrell::store
