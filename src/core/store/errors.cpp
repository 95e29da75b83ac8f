#include "store/errors.hpp"

#include <fmt/format.h>

#include "store/messages.hpp"

namespace vantrell::store {

ConnectionError::ConnectionError(std::string location, std::string detail)
    : StoreError(messages::dataNotFound),
      location_(std::move(location)),
      detail_(std::move(detail)) {}

RightsError::RightsError(const std::string& path) : StoreError(messages::noRightsTo(path)) {}

RecordInUseError::RecordInUseError(std::optional<std::string> owner)
    : StoreError(messages::recordInUseBatch), owner_(std::move(owner)) {}

std::string RecordInUseError::viewingOnlyMessage() const {
  return owner_ ? messages::recordInUseBy(*owner_) : messages::recordInUseViewing;
}

std::string RecordInUseError::batchRefusalMessage() const {
  return owner_ ? messages::recordInUseBatchBy(*owner_) : messages::recordInUseBatch;
}

DuplicateKeyError::DuplicateKeyError(const std::string& table, const std::string& tag)
    : StoreError(
          fmt::format("A record with the same key already exists in {} (index {}).", table, tag)) {}

FilterError::FilterError(const std::string& filter, const std::string& reason, std::size_t position)
    : InputError(fmt::format("The filter \"{}\" is not valid: {} at position {}.", filter, reason,
                             position + 1)) {}

}  // namespace vantrell::store
