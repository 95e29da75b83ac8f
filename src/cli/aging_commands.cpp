#include "command_tree.hpp"

namespace vantrell::cli {

// Not written yet.
void addAgingVerbs(CLI::App* /*report*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
