#include "command_tree.hpp"

namespace vantrell::cli {

// Not written yet.
void addDaySheetVerbs(CLI::App* /*report*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
