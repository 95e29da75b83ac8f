#pragma once

#include <string>
#include <vector>

#include "store/record.hpp"

namespace vantrell::cli {

std::string csvField(const std::string& text);
std::string jsonString(const std::string& text);
// A record as a JSON object of every field, in stored order: numbers and
// logicals as JSON values, empty values as null, the rest as strings.
std::string recordJson(const store::Record& record);
// A record as "Field: value" lines.
std::string recordLines(const store::Record& record);

}  // namespace vantrell::cli
