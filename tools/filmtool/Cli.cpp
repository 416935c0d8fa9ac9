#include "tools/filmtool/Cli.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/filmtool/BuildCommand.h"
#include "tools/filmtool/DecodeCommand.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/ExtractCommand.h"
#include "tools/filmtool/InspectCommand.h"
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

}  // namespace

int RunFilmtool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"filmtool: authors and inspects Lumafolio films and player programs"};
  app.name("filmtool");
  app.set_version_flag("--version", std::string("filmtool ") + FILMTOOL_VERSION,
                       "Print the version and exit");
  app.require_subcommand(1);

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
  bool extractForce = false;
  extractCommand->add_flag("--force", extractForce, "Overwrite files that are there already");

  DecodeOptions decode;
  CLI::App* decodeCommand = app.add_subcommand(
      "decode",
      "Decodes a picture with the player's own decoder into the bitmap the player would show");
  decodeCommand->add_option("file", decode.input, "A JPEG or PNG, a player program, any file")
      ->required();
  CLI::Option* offsetOption =
      decodeCommand->add_option("--offset", decode.offset, "Byte offset of the JPEG in the file");
  decodeCommand
      ->add_option("--item", decode.item,
                   "The picture of this item of a player program (1-based, as inspect numbers "
                   "them; a video's poster)")
      ->excludes(offsetOption);
  decodeCommand->add_flag("--fitted", decode.fitted,
                          "Write the 800x600 stage with the picture fitted on it");
  decodeCommand
      ->add_option("-o,--output", decode.output, "The file to write: PNG if .png, else BMP")
      ->required();

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
  buildCommand->footer("Transitions (an item's `transition`):\n" + TransitionListing() +
                       "\nCaption effects (a caption's `effect`):\n" + CaptionEffectListing());

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
      ExtractFilm(extractPath, extractFolder, out, err, extractForce);
    } else if (*decodeCommand) {
      DecodePicture(decode, out);
    } else if (*transitionCommand) {
      RenderTransition(transition, out);
    }
  } catch (const std::exception& e) {
    // Errors quote names and texts from films, and what libgsf said about them.
    err << "filmtool: " << Printable(e.what()) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace lumafolio
