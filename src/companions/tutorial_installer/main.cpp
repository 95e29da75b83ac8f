// vantrell-tutorial [--server] PRACTICE: installs the tutorial practice's data
// at PRACTICE (made when missing).

#include <iostream>

#include "maintenance/tutorial_data.hpp"
#include "companion_arguments.hpp"
#include "store/errors.hpp"

int main(int argc, char** argv) {
  using namespace vantrell;
  const auto location = companions::practiceArgument(argc, argv);
  if (!location) {
    std::cerr << "Usage: vantrell-tutorial [--server] PRACTICE\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open(*location, {"Tutorial installer", nullptr, true});
    maintenance::installTutorialData(*practice, nullptr);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 3;
  }
}
