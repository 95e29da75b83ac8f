#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"

// The imports kept and the queue of what they left to a clerk.
namespace vantrell::remittance {

// Every import, oldest first.
std::vector<store::Record> listRemittances(store::Connection& practice);
std::optional<store::Record> findRemittance(store::Connection& practice, std::int64_t number);
// Whether the import stopped before its counts were written: every line ends
// either posted or queued, so until then they fall short of its lines.
bool unfinishedImport(const store::Record& remittance);
// The queue's items: those of one import (number > 0) or all; open ones only when asked.
std::vector<store::Record> queueItems(store::Connection& practice, std::int64_t remittance,
                                      bool openOnly);
// Closes an open item with the clerk's note (posted by hand, or why it was
// dismissed). Returns the refusal in words, empty when resolved.
std::string resolveQueueItem(store::Connection& practice, std::int64_t item,
                             const std::string& note, const std::string& userCode,
                             const Date& today);

}  // namespace vantrell::remittance
