#include "store/errors.hpp"

#include <fmt/format.h>

#include "store/messages.hpp"

namespace vantrell::store {

ConnectionError::ConnectionError(std::string location, std::string detail)
    : StoreError(messages::dataNotFound),
      location_(std::move(location)),
      detail_(std::move(detail)) {}

RightsError::RightsError(const std::string& path) : StoreError(messages::noRightsTo(path)) {}

namespace {

std::optional<LockOwner> known(std::optional<LockOwner> owner) {
  if (owner && owner->display().empty()) return std::nullopt;
  return owner;
}

}  // namespace

RecordInUseError::RecordInUseError(std::optional<LockOwner> owner)
    : StoreError(known(owner) ? messages::recordInUseBatchBy(owner->display())
                              : std::string(messages::recordInUseBatch)),
      owner_(known(std::move(owner))) {}

std::string RecordInUseError::viewingOnlyMessage() const {
  return owner_ ? messages::recordInUseBy(owner_->display()) : messages::recordInUseViewing;
}

std::string RecordInUseError::batchRefusalMessage() const {
  return owner_ ? messages::recordInUseBatchBy(owner_->display()) : messages::recordInUseBatch;
}

DuplicateKeyError::DuplicateKeyError(const std::string& table, const std::string& tag)
    : StoreError(
          fmt::format("A record with the same key already exists in {} (index {}).", table, tag)) {}

namespace {

// A filter is quoted whole in its refusal unless it is too long to read there.
std::string quotedFilter(const std::string& filter) {
  constexpr std::size_t shown = 80;
  if (filter.size() <= shown) return "\"" + filter + "\"";
  return "\"" + filter.substr(0, shown) + "...\" (" + std::to_string(filter.size()) +
         " characters)";
}

}  // namespace

FilterError::FilterError(const std::string& filter, const std::string& reason, std::size_t position)
    : InputError(fmt::format("The filter {} is not valid: {} at position {}.", quotedFilter(filter),
                             reason, position + 1)) {}

FilterError::FilterError(const std::string& filter, const std::string& reason)
    : InputError(fmt::format("The filter {} is not valid: {}.", quotedFilter(filter), reason)) {}

}  // namespace vantrell::store
