// `ombrak10 run`: drives the library by name from JSON lines, one JSON answer per step.
#pragma once

#include <istream>
#include <ostream>

namespace ombrak::cli {

/// Runs a script. Returns 0 when every line was a valid step, 2 at the first malformed line.
int run_script(std::istream& in, std::ostream& out);

}  // namespace ombrak::cli
