// vantrell-send-837 [--server] PRACTICE RECEIVER [PRE*TREAT]: the sending
// program of an electronic claim receiver. Print/Send starts it with each
// argument in double quotes; "PRE*TREAT" sends the estimate claims. It writes
// one 837P file of the receiver's ready claims that pass the claim checks and
// reports, a line each, "sent CLAIM SLOT" for the claims written, so the
// caller marks only those billed, then the claims refused with what is wrong.
// Exit 0 when every ready claim went, 1 when some were refused, 2 for wrong
// arguments, 3 when the run failed and nothing was written.

#include <chrono>
#include <ctime>
#include <iostream>
#include <string>
#include <variant>

#include "store/connection.hpp"
#include "x12/claim_sending.hpp"

namespace {

const char* slotName(int slot) {
  return slot == 1 ? "primary" : slot == 2 ? "secondary" : "tertiary";
}

vantrell::x12::CreationTime now() {
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return {vantrell::Date::fromYmd(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                  static_cast<unsigned>(local.tm_mday)),
          local.tm_hour, local.tm_min};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrell;
  store::DataLocation location;
  std::string receiver;
  bool estimate = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--server" || argument == "CS")
      location.engine = store::Engine::Server;
    else if (argument == "PRE*TREAT")
      estimate = true;
    else if (location.path.empty())
      location.path = argument;
    else if (receiver.empty())
      receiver = argument;
    else
      location.path.clear();
  }
  if (location.path.empty() || receiver.empty()) {
    std::cerr << "Usage: vantrell-send-837 [--server] PRACTICE RECEIVER [PRE*TREAT]\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open(location, {"Claim sending", nullptr, false});
    auto result = x12::sendClaimsToReceiver(*practice, receiver, estimate, now());
    if (const auto* failure = std::get_if<std::string>(&result)) {
      std::cerr << *failure << '\n';
      return 3;
    }
    const auto& run = std::get<x12::SendingRun>(result);
    if (!run.file.empty()) std::cout << "file " << run.file.string() << '\n';
    for (const auto& claim : run.sent)
      std::cout << "sent " << claim.claimNumber << ' ' << claim.slot << '\n';
    for (const auto& claim : run.refused) {
      std::cout << "Claim " << claim.claimNumber << " (" << claim.patient << ") to its "
                << slotName(claim.slot) << " carrier was not sent:\n";
      for (const auto& problem : claim.problems)
        std::cout << "  - " << problem.what << "\n    Fix in: " << problem.where << '\n';
    }
    if (run.sent.empty() && run.refused.empty())
      std::cout << "No claims are ready to send to this receiver.\n";
    return run.refused.empty() ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 3;
  }
}
