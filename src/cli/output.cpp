#include "output.hpp"

#include <fmt/format.h>

namespace vantrell::cli {

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20)
          out += fmt::format("\\u{:04x}", static_cast<int>(c));
        else
          out.push_back(c);
    }
  }
  return out + "\"";
}

std::string recordJson(const store::Record& record) {
  std::string out = "{";
  const auto& fields = record.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const store::Value& value = record.value(i);
    out += (i > 0 ? ", " : "") + jsonString(fields[i].name) + ": ";
    const auto type = fields[i].type;
    if (store::isEmptyValue(value) && type != store::FieldType::Character && type != store::FieldType::Memo)
      out += "null";
    else if (type == store::FieldType::Logical || type == store::FieldType::Integer ||
             type == store::FieldType::AutoIncrement || type == store::FieldType::Double ||
             type == store::FieldType::Money)
      out += store::valueToText(value);
    else
      out += jsonString(store::valueToText(value));
  }
  return out + "}";
}

std::string recordLines(const store::Record& record) {
  std::string out;
  const auto& fields = record.table().fields();
  for (std::size_t i = 0; i < fields.size(); ++i)
    out += fmt::format("{}: {}\n", fields[i].name, store::valueToText(record.value(i)));
  return out;
}

}  // namespace vantrell::cli
