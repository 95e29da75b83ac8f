#pragma once

#include <string>
#include <vector>

#include "collections/letter_run.hpp"
#include "common/date.hpp"
#include "printing/document.hpp"
#include "store/connection.hpp"

namespace vantrell::collections {

// The practice as its letters head it: name, address lines and phone.
struct Letterhead {
  std::string name;
  std::vector<std::string> lines;
};

Letterhead readLetterhead(store::Connection& practice);

// The letters of a run, each on pages of its own: the letterhead, the date,
// the account's name and address where a window envelope shows it, the
// balance, the patients' items, the reasons and the practice's letter text.
printing::Document collectionLetterDocument(const std::vector<CollectionLetter>& letters,
                                            const std::vector<std::string>& reasons,
                                            const Letterhead& letterhead,
                                            const std::string& letterText, Date date);

}  // namespace vantrell::collections
