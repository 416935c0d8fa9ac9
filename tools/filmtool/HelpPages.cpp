#include "tools/filmtool/HelpPages.h"

#include <sstream>
#include <string>
#include <vector>

namespace lumafolio {
namespace {

bool Shown(const CLI::App* command) { return !command->get_group().empty(); }
bool Shown(const CLI::Option* option) { return !option->get_group().empty(); }

std::vector<const CLI::App*> Commands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* command) { return Shown(command); });
}

std::vector<const CLI::Option*> Positionals(const CLI::App& command) {
  return command.get_options(
      [](const CLI::Option* option) { return Shown(option) && !option->nonpositional(); });
}

std::vector<const CLI::Option*> Named(const CLI::App& command) {
  return command.get_options(
      [](const CLI::Option* option) { return Shown(option) && option->nonpositional(); });
}

// Every spelling of a named option: -o, --output.
std::vector<std::string> Spellings(const CLI::Option& option) {
  std::vector<std::string> names;
  for (const std::string& name : option.get_snames()) names.push_back("-" + name);
  for (const std::string& name : option.get_lnames()) names.push_back("--" + name);
  return names;
}

bool TakesValue(const CLI::Option& option) { return option.get_expected_min() > 0; }

// Text for roff: backslashes escaped, hyphens as minus signs (so that options can be copied and
// searched for), and no line taken for a request because it starts with a dot or a quote.
std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
    lineStart = c == '\n';
  }
  return out;
}

std::string Usage(const CLI::App& app, const CLI::App& command) {
  std::string usage = app.get_name() + " " + command.get_name();
  if (!Named(command).empty()) usage += " [OPTIONS]";
  for (const CLI::Option* positional : Positionals(command)) {
    const std::string name = positional->get_name(true);
    usage += positional->get_required() ? " " + name : " [" + name + "]";
  }
  return usage;
}

// The program's description without the "name: " its --help starts with.
std::string Summary(const CLI::App& app) {
  std::string description = app.get_description();
  const std::string prefix = app.get_name() + ": ";
  if (description.rfind(prefix, 0) == 0) description.erase(0, prefix.size());
  return description;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

void WriteManPage(const CLI::App& app, const std::string& version, const std::string& extra,
                  std::ostream& out) {
  out << ".TH " << Upper(app.get_name()) << " 1 \"\" \"" << Roff(app.get_name() + " " + version)
      << "\" \"User Commands\"\n";
  out << ".SH NAME\n" << Roff(app.get_name()) << " \\- " << Roff(Summary(app)) << "\n";
  out << ".SH SYNOPSIS\n";
  for (const CLI::App* command : Commands(app)) {
    out << ".B " << Roff(app.get_name()) << "\n"
        << Roff(Usage(app, *command).substr(app.get_name().size() + 1)) << "\n.br\n";
  }
  out << ".B " << Roff(app.get_name()) << "\n" << Roff("--version | --help") << "\n";
  out << ".SH COMMANDS\n";
  for (const CLI::App* command : Commands(app)) {
    out << ".SS \"" << Roff(Usage(app, *command)) << "\"\n"
        << Roff(command->get_description()) << "\n";
    for (const CLI::Option* positional : Positionals(*command)) {
      out << ".TP\n.I " << Roff(positional->get_name(true)) << "\n"
          << Roff(positional->get_description()) << "\n";
    }
    for (const CLI::Option* option : Named(*command)) {
      std::string names;
      for (const std::string& name : Spellings(*option)) {
        names += (names.empty() ? "" : ", ") + name;
      }
      if (TakesValue(*option)) {
        out << ".TP\n.BI \"" << Roff(names) << " \" " << Roff(option->get_type_name()) << "\n";
      } else {
        out << ".TP\n.B " << Roff(names) << "\n";
      }
      out << Roff(option->get_description()) << "\n";
    }
    const std::string footer = command->get_footer();
    if (!footer.empty()) out << ".PP\n.nf\n" << Roff(footer) << "\n.fi\n";
  }
  out << extra;
}

void WriteBashCompletion(const CLI::App& app, std::ostream& out) {
  const std::string function = "_" + app.get_name();
  std::string commands;
  for (const CLI::App* command : Commands(app)) commands += command->get_name() + " ";
  out << "# bash completion for " << app.get_name() << ", written from its own help texts.\n"
      << function << "() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "  if [[ $COMP_CWORD -eq 1 ]]; then\n"
      << "    COMPREPLY=($(compgen -W '" << commands << "--help --version' -- \"$cur\"))\n"
      << "    return\n"
      << "  fi\n"
      << "  case ${COMP_WORDS[1]} in\n";
  for (const CLI::App* command : Commands(app)) {
    std::string options;
    std::string textValues;   // options whose value is a name or a path: complete file names
    std::string otherValues;  // numbers and the like: nothing to offer
    for (const CLI::Option* option : Named(*command)) {
      for (const std::string& name : Spellings(*option)) {
        options += name + " ";
        if (!TakesValue(*option)) continue;
        std::string& values = option->get_type_name() == "TEXT" ? textValues : otherValues;
        values += (values.empty() ? "" : "|") + name;
      }
    }
    out << "    " << command->get_name() << ")\n"
        << "      case $prev in\n";
    if (!textValues.empty()) {
      out << "        " << textValues << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    }
    if (!otherValues.empty()) out << "        " << otherValues << ") COMPREPLY=(); return ;;\n";
    out << "      esac\n"
        << "      if [[ $cur == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W '" << options << "' -- \"$cur\"))\n"
        << "      else\n"
        << "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        << "      fi\n"
        << "      ;;\n";
  }
  out << "  esac\n"
      << "}\n"
      << "complete -o filenames -o bashdefault -F " << function << " " << app.get_name() << "\n";
}

}  // namespace lumafolio
