// vantrell-tutorial [--server] PRACTICE: installs the tutorial practice's data
// at PRACTICE (made when missing).

#include <iostream>
#include <string>

#include "maintenance/tutorial_data.hpp"
#include "store/errors.hpp"

int main(int argc, char** argv) {
  using namespace vantrell;
  store::Engine engine = store::Engine::Embedded;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--server" || argument == "CS") engine = store::Engine::Server;
    else path = argument;
  }
  if (path.empty()) {
    std::cerr << "Usage: vantrell-tutorial [--server] PRACTICE\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open({engine, path}, {"Tutorial installer", nullptr, true});
    maintenance::installTutorialData(*practice, nullptr);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 3;
  }
}
