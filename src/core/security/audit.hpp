#pragma once

#include <string>

#include "common/date.hpp"
#include "store/connection.hpp"

namespace vantrell::security {

// Writes an audit entry of a delete or a sensitive edit: the kind ("Deleted
// Procedure") and what it was about, with the chart number when there is one.
void writeAuditEntry(store::Connection& practice, const std::string& kind,
                     const std::string& chartNumber, const std::string& text, const DateTime& when);
// An audit line whose whole text the system gives ("Deleted Case 12").
void writeAuditLine(store::Connection& practice, const std::string& chartNumber,
                    const std::string& comment, const DateTime& when);

}  // namespace vantrell::security
