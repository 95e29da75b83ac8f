#include "security/audit.hpp"

#include <algorithm>

#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::security {

void writeAuditEntry(store::Connection& practice, const std::string& kind,
                     const std::string& chartNumber, const std::string& text,
                     const DateTime& when) {
  // The kind leads, so the entry says what happened even when the text is cut.
  writeAuditLine(practice, chartNumber, kind + ": " + text, when);
}

void writeAuditLine(store::Connection& practice, const std::string& chartNumber,
                    const std::string& comment, const DateTime& when) {
  store::ensureTable(practice, "QVAUD");
  store::Table audit = practice.openTable("QVAUD");
  store::Record entry = audit.newRecord();
  entry.set("Date", when);
  entry.set("Chart Number", chartNumber.substr(0, 8));
  std::size_t cut = std::min<std::size_t>(comment.size(), 80);
  while (cut > 0 && cut < comment.size() &&
         (static_cast<unsigned char>(comment[cut]) & 0xC0u) == 0x80u)
    --cut;
  entry.set("Comment", comment.substr(0, cut));
  audit.append(entry);
}

}  // namespace vantrell::security
