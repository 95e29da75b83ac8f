// vantrell-convert [--server] PRACTICE: brings an older practice to the current
// data version. The main program takes the practice's exclusive-operation lock
// around it and judges the result by the data version left behind.

#include <iostream>
#include <string>

#include "maintenance/data_conversion.hpp"
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
    std::cerr << "Usage: vantrell-convert [--server] PRACTICE\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open({engine, path}, {"Data conversion", nullptr, false});
    const auto report = maintenance::convertPractice(*practice);
    for (const auto& table : report.tablesCreated) std::cout << "created " << table << '\n';
    for (const auto& field : report.fieldsAdded) std::cout << "added " << field << '\n';
    for (const auto& problem : report.problems) std::cerr << problem << '\n';
    return report.problems.empty() ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 3;
  }
}
