#pragma once

#include <string>
#include <string_view>

namespace vantrell::store {

// Table and field names compare as the engine compares them: ignoring ASCII case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string upperAscii(std::string_view text);
// "QVPAT.ADT" and "qvpat.adt" name the table QVPAT; the extension is optional.
std::string_view withoutTableExtension(std::string_view tableName);
// Right-trims blanks: character fields are blank padded in the system's eyes.
std::string_view trimRight(std::string_view text);

}  // namespace vantrell::store
