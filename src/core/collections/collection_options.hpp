#pragma once

#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::collections {

// The practice's collection options.
struct CollectionOptions {
  std::string letterText;        // the body of a collection letter, paragraphs split by blank lines
  bool requireAssignTo = false;  // a work list item must be assigned to a user
};

// The text a collection letter carries until the practice writes its own.
const std::string& standardLetterText();

// The stored options; the standard letter text where the practice has none.
CollectionOptions readCollectionOptions(store::Connection& practice);
// Stores the options in the single row, made when missing.
void saveCollectionOptions(store::Connection& practice, const CollectionOptions& options);

}  // namespace vantrell::collections
