#include "output.hpp"

#include <cmath>
#include <iostream>

#include <fmt/format.h>

namespace vantrell::cli {
namespace {

void appendJson(std::string& out, const Json& value, bool topLevel) {
  if (value.is_object()) {
    out += '{';
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      if (!first) out += ", ";
      out += Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
      out += ": ";
      appendJson(out, member, false);
      first = false;
    }
    out += '}';
  } else if (value.is_array()) {
    out += '[';
    bool first = true;
    for (const auto& element : value) {
      if (!first) out += topLevel ? ",\n " : ", ";
      appendJson(out, element, false);
      first = false;
    }
    out += ']';
  } else {
    out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

// A double field holding a whole number is written as one ("Amount": 95).
Json numberJson(double number) {
  if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9.0e15)
    return static_cast<std::int64_t>(number);
  return number;
}

}  // namespace

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

Json moneyJson(Money amount) {
  if (amount.tenThousandths() % Money::scale == 0) return amount.tenThousandths() / Money::scale;
  return amount.toDouble();
}

Json recordJson(const store::Record& record) {
  Json object = Json::object();
  const auto& fields = record.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const store::Value& value = record.value(i);
    const auto type = fields[i].type;
    Json& member = object[fields[i].name];
    if (store::isEmptyValue(value) && type != store::FieldType::Character &&
        type != store::FieldType::Memo)
      member = nullptr;
    else if (const auto* logical = std::get_if<bool>(&value))
      member = *logical;
    else if (const auto* integer = std::get_if<std::int64_t>(&value))
      member = *integer;
    else if (const auto* number = std::get_if<double>(&value))
      member = numberJson(*number);
    else if (const auto* money = std::get_if<Money>(&value))
      member = moneyJson(*money);
    else
      member = store::valueToText(value);
  }
  return object;
}

std::string recordLines(const store::Record& record) {
  std::string out;
  const auto& fields = record.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i)
    out += fmt::format("{}: {}\n", fields[i].name, store::valueToText(record.value(i)));
  return out;
}

std::string jsonText(const Json& value) {
  std::string out;
  appendJson(out, value, true);
  return out;
}

void printJson(const Json& value) {
  std::cout << jsonText(value) << '\n';
}

JsonArrayWriter::JsonArrayWriter() {
  std::cout << '[';
}

void JsonArrayWriter::finish() {
  std::cout << "]\n";
}

void JsonArrayWriter::add(const Json& element) {
  std::cout << (first_ ? "" : ",\n ") << jsonText(element);
  first_ = false;
}

}  // namespace vantrell::cli
