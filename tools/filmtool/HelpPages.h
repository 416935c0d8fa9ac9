#pragma once

#include <CLI/CLI.hpp>
#include <ostream>

namespace lumafolio {

// The manual page and the bash completion of a command-line program, written from the same
// descriptions that its --help prints, so that the three never disagree. Subcommands and
// options in the hidden group (an empty group name) are left out.

// A man(7) page, section 1: the program's description, then each subcommand with its usage,
// its positionals and options and its footer, then `extra` (roff, for sections such as
// ENVIRONMENT and EXIT STATUS).
void WriteManPage(const CLI::App& app, const std::string& version, const std::string& extra,
                  std::ostream& out);

// A bash completion script: the subcommands first, then each subcommand's options, and file
// names wherever an option or positional takes a value.
void WriteBashCompletion(const CLI::App& app, std::ostream& out);

}  // namespace lumafolio
