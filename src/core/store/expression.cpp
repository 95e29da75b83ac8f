#include "store/expression.hpp"

#include <cctype>

#include <fmt/format.h>

#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

class Parser {
 public:
  Parser(const TableDefinition& table, std::string_view source) : table_(table), source_(source) {
    if (source_.size() > maximumExpressionLength) {
      throw FilterError(std::string(source_),
                        fmt::format("it is {} characters long, more than the {} accepted",
                                    source_.size(), maximumExpressionLength));
    }
  }

  ExpressionPtr parseCondition() {
    auto result = parseOr();
    skipBlanks();
    if (position_ < source_.size()) fail("unexpected text");
    return result;
  }

  std::vector<ExpressionPtr> parseKeyParts() {
    std::vector<ExpressionPtr> parts;
    for (;;) {
      parts.push_back(parseAdditive());
      skipBlanks();
      if (position_ >= source_.size()) break;
      if (source_[position_] != ';') fail("expected ';' between key parts");
      ++position_;
    }
    return parts;
  }

 private:
  [[noreturn]] void fail(const std::string& reason) const {
    throw FilterError(std::string(source_), reason, position_);
  }

  // One level of nesting while a nested part is read: parentheses, NOT, a
  // function's argument, a field joined with '+'. Deeper text is refused
  // before it can exhaust the stack of the parser or of the engine.
  void enterNesting() {
    if (++depth_ > maximumNestingDepth)
      fail(fmt::format("it nests more than {} levels deep", maximumNestingDepth));
  }

  class Nesting {
   public:
    explicit Nesting(Parser& parser) : parser_(parser) { parser_.enterNesting(); }
    ~Nesting() { --parser_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& parser_;
  };

  void skipBlanks() {
    while (position_ < source_.size() &&
           std::isspace(static_cast<unsigned char>(source_[position_])))
      ++position_;
  }

  // A keyword such as AND or .AND., matched without regard to case and only as
  // a whole word.
  bool acceptKeyword(std::string_view word) {
    skipBlanks();
    if (source_.size() - position_ < word.size()) return false;
    if (!equalsIgnoringCase(source_.substr(position_, word.size()), word)) return false;
    const std::size_t end = position_ + word.size();
    if (isWordChar(word.back()) && end < source_.size() && isWordChar(source_[end])) return false;
    position_ = end;
    return true;
  }

  bool acceptSymbol(std::string_view symbol) {
    skipBlanks();
    if (source_.substr(position_, symbol.size()) != symbol) return false;
    position_ += symbol.size();
    return true;
  }

  void expectSymbol(std::string_view symbol) {
    if (!acceptSymbol(symbol)) fail("expected '" + std::string(symbol) + "'");
  }

  ExpressionPtr node(Expression::Kind kind, std::size_t at) {
    auto result = std::make_unique<Expression>();
    result->kind = kind;
    result->position = at;
    return result;
  }

  ExpressionPtr binary(Expression::Kind kind, ExpressionPtr left, ExpressionPtr right) {
    auto result = node(kind, left->position);
    result->children.push_back(std::move(left));
    result->children.push_back(std::move(right));
    return result;
  }

  // AND and OR chains stay flat: one node holds all the terms of a chain in
  // order, so a long chain is no deeper than a short one.
  ExpressionPtr parseOr() {
    auto first = parseAnd();
    if (!acceptOr()) return first;
    auto result = node(Expression::Kind::Or, first->position);
    result->children.push_back(std::move(first));
    do {
      result->children.push_back(parseAnd());
    } while (acceptOr());
    return result;
  }

  ExpressionPtr parseAnd() {
    auto first = parseNot();
    if (!acceptAnd()) return first;
    auto result = node(Expression::Kind::And, first->position);
    result->children.push_back(std::move(first));
    do {
      result->children.push_back(parseNot());
    } while (acceptAnd());
    return result;
  }

  bool acceptOr() { return acceptKeyword(".OR.") || acceptKeyword("OR"); }
  bool acceptAnd() { return acceptKeyword(".AND.") || acceptKeyword("AND"); }

  ExpressionPtr parseNot() {
    skipBlanks();
    const std::size_t at = position_;
    if (acceptKeyword(".NOT.") || acceptKeyword("NOT") ||
        (source_.substr(position_, 1) == "!" && source_.substr(position_, 2) != "!=" &&
         acceptSymbol("!"))) {
      const Nesting nesting(*this);
      auto result = node(Expression::Kind::Not, at);
      result->children.push_back(parseNot());
      return result;
    }
    return parseComparison();
  }

  ExpressionPtr parseComparison() {
    auto left = parseAdditive();
    skipBlanks();
    static constexpr std::pair<std::string_view, Expression::Operator> operators[] = {
        {"==", Expression::Operator::Equal},          {"<>", Expression::Operator::NotEqual},
        {"!=", Expression::Operator::NotEqual},       {"<=", Expression::Operator::LessOrEqual},
        {">=", Expression::Operator::GreaterOrEqual}, {"=", Expression::Operator::Equal},
        {"#", Expression::Operator::NotEqual},        {"<", Expression::Operator::Less},
        {">", Expression::Operator::Greater},         {"$", Expression::Operator::Contains},
    };
    for (const auto& [symbol, op] : operators) {
      if (acceptSymbol(symbol)) {
        auto result = binary(Expression::Kind::Compare, std::move(left), parseAdditive());
        result->op = op;
        return result;
      }
    }
    return left;
  }

  ExpressionPtr parseAdditive() {
    const std::size_t depth = depth_;
    auto left = parsePrimary();
    while (acceptSymbol("+")) {
      // Each '+' nests the text joined so far one level deeper.
      enterNesting();
      left = binary(Expression::Kind::Concat, std::move(left), parsePrimary());
    }
    depth_ = depth;
    return left;
  }

  ExpressionPtr parseString(char quote) {
    const std::size_t at = position_;
    ++position_;
    const auto end = source_.find(quote, position_);
    if (end == std::string_view::npos) {
      position_ = at;
      fail("unterminated string");
    }
    auto result = node(Expression::Kind::Text, at);
    result->text = std::string(source_.substr(position_, end - position_));
    position_ = end + 1;
    return result;
  }

  ExpressionPtr parseFunction(Expression::Kind kind, std::size_t at) {
    const Nesting nesting(*this);
    expectSymbol("(");
    auto result = node(kind, at);
    result->children.push_back(parseAdditive());
    expectSymbol(")");
    return result;
  }

  ExpressionPtr parsePrimary() {
    skipBlanks();
    const std::size_t at = position_;
    if (position_ >= source_.size()) fail("expected a field, a value or '('");
    const char c = source_[position_];
    if (c == '(') {
      const Nesting nesting(*this);
      ++position_;
      auto inner = parseOr();
      expectSymbol(")");
      return inner;
    }
    if (c == '\'' || c == '"') return parseString(c);
    if (std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.') {
      if (acceptKeyword(".T.") || acceptKeyword(".F.")) {
        auto result = node(Expression::Kind::Logical, at);
        result->logical = std::toupper(static_cast<unsigned char>(source_[at + 1])) == 'T';
        return result;
      }
      std::size_t end = position_ + (c == '-' ? 1 : 0);
      bool digits = false;
      while (end < source_.size() &&
             (std::isdigit(static_cast<unsigned char>(source_[end])) != 0 || source_[end] == '.')) {
        digits = digits || source_[end] != '.';
        ++end;
      }
      if (!digits) fail("expected a number");
      auto result = node(Expression::Kind::Number, at);
      result->text = std::string(source_.substr(position_, end - position_));
      position_ = end;
      return result;
    }
    if (auto field = matchField()) return field;
    if (acceptKeyword("UPPER")) return parseFunction(Expression::Kind::Upper, at);
    if (acceptKeyword("EMPTY")) return parseFunction(Expression::Kind::Empty, at);
    if (acceptKeyword("CTOD")) {
      expectSymbol("(");
      skipBlanks();
      if (position_ >= source_.size() || (source_[position_] != '\'' && source_[position_] != '"'))
        fail("CTOD expects a quoted month/day/year date");
      auto text = parseString(source_[position_]);
      expectSymbol(")");
      auto result = node(Expression::Kind::DateLiteral, at);
      result->text = std::move(text->text);
      return result;
    }
    std::size_t end = position_;
    while (end < source_.size() && isWordChar(source_[end])) ++end;
    if (end == position_) fail("unexpected character '" + std::string(1, c) + "'");
    fail("unknown field \"" + std::string(source_.substr(position_, end - position_)) + "\" in " +
         table_.name());
  }

  // Field names carry blanks, '#', '/' and '-': take the longest field name that
  // stands here as a whole word.
  ExpressionPtr matchField() {
    std::size_t bestLength = 0;
    std::size_t bestIndex = 0;
    const auto rest = source_.substr(position_);
    for (std::size_t i = 0; i < table_.fields().size(); ++i) {
      const auto& name = table_.field(i).name;
      if (name.size() <= bestLength || rest.size() < name.size()) continue;
      if (!equalsIgnoringCase(rest.substr(0, name.size()), name)) continue;
      if (name.size() < rest.size() && isWordChar(name.back()) && isWordChar(rest[name.size()]))
        continue;
      bestLength = name.size();
      bestIndex = i;
    }
    if (bestLength == 0) return nullptr;
    auto result = node(Expression::Kind::Field, position_);
    result->fieldIndex = bestIndex;
    position_ += bestLength;
    return result;
  }

  const TableDefinition& table_;
  std::string_view source_;
  std::size_t position_ = 0;
  std::size_t depth_ = 0;
};

}  // namespace

ExpressionPtr parseFilter(const TableDefinition& table, std::string_view filter) {
  return Parser(table, filter).parseCondition();
}

std::vector<ExpressionPtr> parseKey(const TableDefinition& table, std::string_view key) {
  return Parser(table, key).parseKeyParts();
}

std::string containsAnyFilter(const std::vector<std::string>& fields, std::string_view typed) {
  std::string wanted = upperAscii(trimRight(typed));
  wanted.erase(0, wanted.find_first_not_of(' ') == std::string::npos
                      ? wanted.size()
                      : wanted.find_first_not_of(' '));
  // A literal cannot hold both quotes; the double ones go.
  if (wanted.find('"') != std::string::npos && wanted.find('\'') != std::string::npos)
    std::erase(wanted, '"');
  if (wanted.empty() || fields.empty()) return {};
  const char quote = wanted.find('"') == std::string::npos ? '"' : '\'';
  std::string filter;
  for (const auto& field : fields) {
    if (!filter.empty()) filter += " OR ";
    filter += quote + wanted + quote + " $ UPPER(" + field + ")";
  }
  return filter;
}

}  // namespace vantrell::store
