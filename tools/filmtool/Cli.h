#pragma once

#include <ostream>

namespace lumafolio {

// filmtool's command line: build, inspect, extract. Returns the exit status; results go to
// `out`, messages to `err`.
int RunFilmtool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace lumafolio
