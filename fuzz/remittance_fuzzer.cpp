// Feeds arbitrary bytes to the 835 reader: every input must be read or refused
// with a sentence, never crash; a file read must balance, since the reader
// refuses any other.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "remittance/remittance_835.hpp"

using namespace vantrell::remittance;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto read = read835(text);
  if (const auto* message = std::get_if<std::string>(&read)) {
    if (message->empty()) __builtin_trap();
    return 0;
  }
  const auto& file = std::get<RemittanceFile>(read);
  if (file.advices.empty()) __builtin_trap();
  for (const auto& advice : file.advices) {
    if (balancedPayment(advice) != advice.payment) __builtin_trap();
    for (const auto& claim : advice.claims)
      for (const auto& line : claim.lines)
        if (line.procedure.empty()) __builtin_trap();
  }
  return 0;
}
