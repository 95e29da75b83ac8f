#pragma once

#include "context.hpp"
#include "statements/statement_creation.hpp"

namespace vantrell::cli {

// The statement windows' surroundings on the practice the command opened.
statements::Surroundings statementSurroundings(Context& context, practice::OpenPractice& open);

}  // namespace vantrell::cli
