#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "store/lock_owner.hpp"

namespace vantrell::store {

// The engine or the file system failed: a server down, a disk full, a broken
// database file. Nothing the person typed is wrong.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The data path or server cannot be reached. what() is the system's message.
class ConnectionError : public StoreError {
 public:
  ConnectionError(std::string location, std::string detail);
  const std::string& location() const { return location_; }
  const std::string& detail() const { return detail_; }

 private:
  std::string location_;
  std::string detail_;
};

// The server is there but holds no practice of that name.
class MissingPracticeError : public ConnectionError {
 public:
  using ConnectionError::ConnectionError;
};

// The data path exists but may not be written.
class RightsError : public StoreError {
 public:
  explicit RightsError(const std::string& path);
};

// A row is being edited by another window or workstation, or another
// workstation kept the practice to itself for writing longer than a write
// waits. what() is the batch text, naming the holder when known.
class RecordInUseError : public StoreError {
 public:
  explicit RecordInUseError(std::optional<LockOwner> owner);
  // Who holds it, when the engine can tell.
  const std::optional<LockOwner>& owner() const { return owner_; }
  // The text a window shows when it falls back to viewing the record.
  std::string viewingOnlyMessage() const;
  // The text a run that cannot go on without the record shows.
  std::string batchRefusalMessage() const;

 private:
  std::optional<LockOwner> owner_;
};

// A unique index tag refused a second row with the same key.
class DuplicateKeyError : public StoreError {
 public:
  DuplicateKeyError(const std::string& table, const std::string& tag);
};

// Something given from outside does not fit the catalogue: an unknown table,
// field or tag, a value wider than its field, a filter that does not parse.
// The message names the value.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FilterError : public InputError {
 public:
  FilterError(const std::string& filter, const std::string& reason, std::size_t position);
  // A refusal of the text as a whole, at no position in it.
  FilterError(const std::string& filter, const std::string& reason);
};

}  // namespace vantrell::store
