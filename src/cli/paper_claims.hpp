#pragma once

#include <memory>
#include <string>

#include "claims/claim_actions.hpp"
#include "context.hpp"

namespace vantrell::cli {

// Claim printing for a window's follow-up: the forms on plain paper to the
// PDF, the printed claims marked billed, as `claim print` does; a second run
// writes next to it with the slot in the name. Asks "Print Claims" first.
// Prints on the practice the window has open.
std::unique_ptr<claims::ClaimPrinting> paperClaimPrinting(Context& context,
                                                          practice::OpenPractice& open,
                                                          const std::string& pdf);

}  // namespace vantrell::cli
