#pragma once

#include <ostream>

#include "common/money.hpp"

namespace vantrell {

// Amounts in failure messages as a clerk reads them. Every test file that
// compares amounts includes this, so all of them print alike.
inline void PrintTo(const Money& amount, std::ostream* out) {
  *out << amount.toPreciseString();
}

}  // namespace vantrell
