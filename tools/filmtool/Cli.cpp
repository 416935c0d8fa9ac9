#include "tools/filmtool/Cli.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/filmtool/BuildCommand.h"
#include "tools/filmtool/DecodeCommand.h"
#include "tools/filmtool/Description.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/ExtractCommand.h"
#include "tools/filmtool/HelpPages.h"
#include "tools/filmtool/InspectCommand.h"
#include "tools/filmtool/ListCommand.h"
#include "tools/filmtool/Printable.h"
#include "tools/filmtool/TransitionCommand.h"

namespace lumafolio {
namespace {

// The player program a film is appended to when --player is not given: $LUMAFOLIO_PLAYER, else
// the one this build was configured with (FILMTOOL_DEFAULT_PLAYER), else none.
std::string DefaultPlayer() {
  if (const char* player = std::getenv("LUMAFOLIO_PLAYER"); player && *player) return player;
#ifdef FILMTOOL_DEFAULT_PLAYER
  return FILMTOOL_DEFAULT_PLAYER;
#else
  return {};
#endif
}

// What the manual says beyond the commands' own help.
constexpr const char* kManualEnd = R"(.SH ENVIRONMENT
.TP
.B LUMAFOLIO_PLAYER
The bare player program that
.B build
appends films to when
.B \-\-player
is not given.
.SH EXIT STATUS
0 when the command did its work, 1 when it failed (the reason is printed), 2 when
.B build
has no player program; other values when the command line could not be read.
)";

#ifndef FILMTOOL_VERSION
#define FILMTOOL_VERSION "unknown"
#endif

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

void WriteHelpPages(const CLI::App& app, const std::string& manPage,
                    const std::string& bashCompletion) {
  if (!manPage.empty()) {
    std::ostringstream text;
    WriteManPage(app, FILMTOOL_VERSION, kManualEnd, text);
    WriteTextFile(manPage, text.str());
  }
  if (!bashCompletion.empty()) {
    std::ostringstream text;
    WriteBashCompletion(app, text);
    WriteTextFile(bashCompletion, text.str());
  }
}

// What `filmtool build --help` says of the description beyond the option list.
constexpr const char* kDescriptionHelp = R"(
The description (TOML) holds [film] and one [[item]] per item, each with its
[[item.caption]] tables; README "Making films" has an example.
  [film]    loop, play_mode ("timed" or "manual"), and defaults for every item
            and caption: duration, transition, steps or transition_seconds,
            music and music_mode (the music starts with the first item and
            plays on), font, colour, shadow, alignment, line_spacing
  [[item]]  type, file, poster, end_picture, image_width, image_height,
            duration, transition, steps or transition_seconds, music, music_mode
  [[item.caption]]  text, effect, left, top, font, colour, shadow, alignment,
            line_spacing
An item's or a caption's own value wins over the film's.
  duration            whole seconds on screen in timed mode
  steps               the transition's length in screen refreshes at 60 Hz
  transition_seconds  the same in seconds: 1.5 makes 90 steps (not with steps)
  font      { face = "Arial", size = 24, bold = true, italic = true,
            underline = true }; size is points (24, "24pt"), which become the
            character height at 96 DPI, height = -round(pt * 96 / 72), or pixels
            ("32px", height = -32). The LOGFONT fields height, width,
            escapement, orientation, weight, italic, underline, strike_out,
            charset, out_precision, clip_precision, quality and
            pitch_and_family are taken too (not size with height, nor bold with
            weight).
  colour    (or color) "#RRGGBB", "#RGB" or a CSS colour name such as "gold"
  alignment "left", "centre" (or "center"), "right"
Every mistake is reported, one line each as DESCRIPTION:LINE: what is wrong.
`filmtool list transitions|captions|keys` lists the names.
)";

}  // namespace

int RunFilmtool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"filmtool: authors and inspects Lumafolio films and player programs"};
  app.name("filmtool");
  app.require_subcommand(1);
  app.set_version_flag("--version", "filmtool " FILMTOOL_VERSION);

  BuildOptions build;
  CLI::App* buildCommand = app.add_subcommand(
      "build",
      "Builds a player program from a film description (TOML): the player followed by "
      "the film and its media files");
  buildCommand->add_option("description", build.description, "The film description (.toml)")
      ->required();
  buildCommand->add_option("-o,--output", build.output, "The player program to write")->required();
  buildCommand->add_option("--player", build.player,
                           "The bare player program to append the film to (default: "
                           "$LUMAFOLIO_PLAYER, or the one this build was configured with)");

  std::string inspectPath;
  bool json = false;
  CLI::App* inspectCommand =
      app.add_subcommand("inspect", "Lists the film of a player program or film file");
  inspectCommand->add_option("file", inspectPath, "A player program or a film file")->required();
  inspectCommand->add_flag("--json", json, "Print the film as JSON");

  std::string extractPath;
  std::string extractFolder;
  CLI::App* extractCommand = app.add_subcommand(
      "extract",
      "Writes the film file (Film.flm) and the media files of a player program into "
      "a folder");
  extractCommand->add_option("file", extractPath, "A player program or a film file")->required();
  extractCommand->add_option("-d,--directory", extractFolder, "The folder to write into")
      ->required();

  std::string decodeInput;
  int64_t decodeOffset = 0;
  std::string decodeOutput;
  CLI::App* decodeCommand = app.add_subcommand(
      "decode", "Decodes a JPEG with the player's own decoder into the BMP the player would show");
  decodeCommand->add_option("file", decodeInput, "A JPEG, or any file holding one")->required();
  decodeCommand->add_option("--offset", decodeOffset, "Byte offset of the JPEG in the file");
  decodeCommand->add_option("-o,--output", decodeOutput, "The BMP file to write")->required();

  std::string listTopic;
  CLI::App* listCommand = app.add_subcommand(
      "list", "Lists the names a description or the player knows, with indexes and summaries");
  listCommand
      ->add_option("topic", listTopic,
                   "transitions (an item's `transition`), captions (a caption's `effect`) or "
                   "keys (what the player does with keys and the mouse)")
      ->required()
      ->check(
          CLI::IsMember(std::vector<std::string>(std::begin(kListTopics), std::end(kListTopics))));

  TransitionOptions transition;
  CLI::App* transitionCommand = app.add_subcommand(
      "transition",
      "Renders the frames of one transition between two pictures, as the player draws them");
  transitionCommand->add_option("effect", transition.effect, "A transition name or table index")
      ->required();
  transitionCommand
      ->add_option("--from", transition.from, "The picture it starts from (JPEG or PNG)")
      ->required();
  transitionCommand->add_option("--to", transition.to, "The picture it ends on (JPEG or PNG)")
      ->required();
  transitionCommand->add_option("--steps", transition.steps, "The last step (frames: steps + 1)");
  transitionCommand->add_option("--frames", transition.framesDir, "A folder for one PNG per frame");
  transitionCommand->add_option("--sheet", transition.sheet, "One PNG with all frames, shrunk");
  transitionCommand->add_option("--seed", transition.seed,
                                "Seed of the random effects (the same seed draws the same frames)");
  transitionCommand->footer("Transitions:\n" + TransitionListing());
  buildCommand->footer(std::string(kDescriptionHelp) + "\nTransitions (an item's `transition`):\n" +
                       TransitionListing() + "\nCaption effects (a caption's `effect`):\n" +
                       CaptionEffectListing());

  // Not for users: the build writes the manual page and the bash completion with it.
  std::string manPage;
  std::string bashCompletion;
  CLI::App* helpPagesCommand =
      app.add_subcommand("help-pages", "Writes the manual page and the bash completion");
  helpPagesCommand->group("");
  helpPagesCommand->add_option("--man", manPage, "The man page to write");
  helpPagesCommand->add_option("--bash-completion", bashCompletion, "The completion to write");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }

  try {
    if (*buildCommand) {
      if (build.player.empty()) build.player = DefaultPlayer();
      if (build.player.empty()) {
        err << "filmtool: no player program: pass --player PLAYER.exe (or set LUMAFOLIO_PLAYER)\n";
        return 2;
      }
      BuildFilm(build, out);
    } else if (*inspectCommand) {
      InspectFilm(inspectPath, json, out, err);
    } else if (*extractCommand) {
      ExtractFilm(extractPath, extractFolder, out, err);
    } else if (*decodeCommand) {
      DecodeToBmp(decodeInput, decodeOffset, decodeOutput, out);
    } else if (*transitionCommand) {
      RenderTransition(transition, out);
    } else if (*helpPagesCommand) {
      WriteHelpPages(app, manPage, bashCompletion);
    } else if (*listCommand) {
      ListNames(listTopic, out);
    }
  } catch (const DescriptionError& e) {
    for (const std::string& line : e.lines()) err << "filmtool: " << Printable(line) << "\n";
    return 1;
  } catch (const std::exception& e) {
    // Errors quote names and texts from films, and what libgsf said about them.
    err << "filmtool: " << Printable(e.what()) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace lumafolio
