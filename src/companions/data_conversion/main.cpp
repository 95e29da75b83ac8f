// vantrell-convert [--server] PRACTICE: brings an older practice to the current
// data version. The main program takes the practice's exclusive-operation lock
// around it and judges the result by the data version left behind.

#include <iostream>

#include "maintenance/data_conversion.hpp"
#include "companion_arguments.hpp"
#include "store/errors.hpp"

int main(int argc, char** argv) {
  using namespace vantrell;
  const auto location = companions::practiceArgument(argc, argv);
  if (!location) {
    std::cerr << "Usage: vantrell-convert [--server] PRACTICE\n";
    return 2;
  }
  try {
    auto practice = store::Connection::open(*location, {"Data conversion", nullptr, false});
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
