#include "tools/filmtool/Cli.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/filmtool/BuildCommand.h"
#include "tools/filmtool/DecodeCommand.h"
#include "tools/filmtool/Description.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/ExtractCommand.h"
#include "tools/filmtool/HelpPages.h"
#include "tools/filmtool/InspectCommand.h"
#include "tools/filmtool/JpegCheck.h"
#include "tools/filmtool/ListCommand.h"
#include "tools/filmtool/PhotoFolder.h"
#include "tools/filmtool/Printable.h"
#include "tools/filmtool/RenderCommand.h"
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
  [film]    loop, play_mode ("timed" or "manual"), stage ("classic", the
            800x600 stage, "screen" or a size such as "1920x1080"), and
            defaults for every item and caption: duration, transition, steps
            or transition_seconds, music and music_mode (the music starts
            with the first item and plays on), font, colour, shadow,
            alignment, line_spacing
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
// "1920x1080" for --max-size.
std::string ParseMaxSize(const std::string& text, PictureOptions& options) {
  int width = 0;
  int height = 0;
  char x = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &rest) != 3 ||
      (x != 'x' && x != 'X') || width < 1 || height < 1 || width > kMaxPictureSide ||
      height > kMaxPictureSide) {
    return "--max-size takes WIDTHxHEIGHT, each 1 to " + std::to_string(kMaxPictureSide) +
           " (e.g. 1920x1080), not \"" + text + "\"";
  }
  options.maxWidth = width;
  options.maxHeight = height;
  return {};
}

std::string ParseTransition(const std::string& text, FolderOptions& options) {
  if (const std::optional<int> index = TransitionFromName(text)) {
    options.transitionEffect = *index;
    return {};
  }
  char* end = nullptr;
  const long index = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0' && index >= 0 && index < kTransitionCount) {
    options.transitionEffect = static_cast<int32_t>(index);
    return {};
  }
  return "--transition takes a transition's name or index 0.." +
         std::to_string(kTransitionCount - 1) + " (`filmtool build --help` lists them), not \"" +
         text + "\"";
}

// The options a film from a folder of photos takes, for build and new alike.
void AddFolderOptions(CLI::App* command, FolderOptions& folder, std::string& sort) {
  command
      ->add_option("--sort", sort,
                   "Order of a folder's pictures: \"name\" (default; numbers in names count "
                   "as numbers, so img2 comes before img10) or \"date\" (the date the camera "
                   "recorded; pictures without one follow, by file modification time)")
      ->check(CLI::IsMember({"name", "date"}));
  command
      ->add_option("--duration", folder.durationSeconds,
                   "Seconds each picture of a folder stays on screen (default 5)")
      ->check(CLI::Range(1, 86400));
  command->add_option_function<std::string>(
      "--transition",
      [&folder](const std::string& text) {
        const std::string problem = ParseTransition(text, folder);
        if (!problem.empty()) throw CLI::ValidationError(problem);
      },
      "The transition into each picture of a folder (default fade, over 60 steps)");
  command
      ->add_option("--steps", folder.transitionSteps,
                   "Steps of that transition (default 60; more is smoother and slower)")
      ->check(CLI::Range(1, 1000));
  command->add_option_function<std::string>(
      "--stage",
      [&folder](const std::string& text) {
        std::string reason;
        const std::optional<FilmStage> stage = ParseFilmStage(text, &reason);
        if (!stage) throw CLI::ValidationError("--stage " + text + ": " + reason);
        folder.stage = *stage;
      },
      "The stage the film plays on: \"classic\" (default, 800x600 as every film), \"screen\" "
      "(the screen's size) or WIDTHxHEIGHT; pictures are fitted to a larger stage from their "
      "full resolution");
}

constexpr const char* kFolderHelp =
    "\nA folder of photos: its .jpg and .jpeg files (with --convert also .png; not those in "
    "subfolders, nor hidden ones) "
    "become a film that plays timed and loops, each picture 5 seconds with a fade over 60 "
    "steps. `filmtool new` writes that film as a description to edit.\n";

}  // namespace

int RunFilmtool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"filmtool: authors and inspects Lumafolio films and player programs"};
  app.name("filmtool");
  app.set_version_flag("--version", std::string("filmtool ") + FILMTOOL_VERSION,
                       "Print the version and exit");
  app.require_subcommand(1);

  BuildOptions build;
  std::string buildSort = "name";
  CLI::App* buildCommand = app.add_subcommand(
      "build",
      "Builds a player program from a film description (TOML) or a folder of photos: the "
      "player followed by the film and its media files");
  buildCommand
      ->add_option("description", build.description,
                   "The film description (.toml), or a folder of photos")
      ->required();
  buildCommand->add_option("-o,--output", build.output, "The player program to write")->required();
  buildCommand->add_option("--player", build.player,
                           "The bare player program to append the film to (default: "
                           "$LUMAFOLIO_PLAYER, or the one this build was configured with)");
  buildCommand->add_flag(
      "--convert", build.pictures.convert,
      "Store pictures the player cannot show (PNG, CMYK, RGB or arithmetic-coded JPEG, ...) as "
      "baseline 4:2:0 JPEGs at quality 92, instead of refusing them; a folder's .png files "
      "count as pictures too");
  buildCommand
      ->add_option_function<std::string>(
          "--max-size",
          [&build](const std::string& text) {
            const std::string problem = ParseMaxSize(text, build.pictures);
            if (!problem.empty()) throw CLI::ValidationError(problem);
          },
          "Shrink pictures larger than WIDTHxHEIGHT to fit inside it, keeping their shape "
          "(area averaging, stored at quality 92); off by default")
      ->type_name("WxH");
  AddFolderOptions(buildCommand, build.folder, buildSort);

  FolderOptions newFolder;
  std::string newSort = "name";
  std::string newFolderPath;
  std::string newOutput;
  bool newForce = false;
  bool newPng = false;
  CLI::App* newCommand = app.add_subcommand(
      "new",
      "Writes the film description that `filmtool build PHOTOS_DIR` would use, to edit and "
      "build instead");
  newCommand->add_option("folder", newFolderPath, "The folder of photos")->required();
  newCommand->add_option("-o,--output", newOutput, "The description to write (.toml)")->required();
  newCommand->add_flag("--force", newForce, "Overwrite the description if it exists");
  newCommand->add_flag("--convert", newPng,
                       "List the folder's .png files too (build it with --convert)");
  AddFolderOptions(newCommand, newFolder, newSort);
  newCommand->footer(std::string(kFolderHelp) +
                     "Pictures whose Exif orientation says they lie on their side are turned "
                     "upright when the film is built.\n");

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
  buildCommand->footer(
      std::string(kFolderHelp) +
      "\nPictures whose Exif orientation says they lie on their side are "
      "turned upright: losslessly where their size allows (a whole number of "
      "8x8 or 16x16 blocks in the turned direction), else by re-encoding at "
      "quality 95. A picture is stored without an orientation tag.\n" +
      kDescriptionHelp + "\nTransitions (an item's `transition`, or --transition):\n" +
      TransitionListing() + "\nCaption effects (a caption's `effect`):\n" + CaptionEffectListing());

  RenderOptions render;
  CLI::App* renderCommand = app.add_subcommand(
      "render",
      "Plays a film without a person into a video file (.mp4, .webm, .mkv) or PNG frames, with "
      "the player's own pictures, transitions and captions, and its music");
  renderCommand
      ->add_option("film", render.input,
                   "A player program with its film, a bare film file (its media beside it), a "
                   "film description (.toml) or a folder of photos")
      ->required();
  renderCommand
      ->add_option("-o,--output", render.output,
                   "OUT.mp4 (H.264 + AAC), OUT.webm (VP9 + Opus), OUT.mkv (H.264 + Opus), or a "
                   "folder for PNG frames (frame-000001.png, ...)")
      ->required();
  renderCommand->add_option("--size", render.size,
                            "The stage, WIDTHxHEIGHT (default: the film's own stage; 800x600 for "
                            "a classic film, where pictures of that size come out exactly as the "
                            "player shows them, 1920x1080 for a film on the screen's size, an "
                            "odd side made even); a larger stage such as 1920x1080 fits pictures "
                            "from their full resolution and scales captions with it");
  renderCommand
      ->add_option("--fps", render.fps,
                   "Frames a second: 60 (default, the refresh the player paces transitions at), "
                   "30 or 25 (transitions then keep as many of their steps as the time holds)")
      ->check(CLI::IsMember({60, 30, 25}));
  renderCommand->add_option("--seed", render.seed,
                            "Seed of the random transitions and caption effects (default 1): the "
                            "same seed renders the same frames");
  renderCommand
      ->add_option("--loop", render.loops,
                   "Plays the film this many times (default 1; a looping film's loop is not "
                   "followed otherwise)")
      ->check(CLI::Range(1, 1000));
  renderCommand
      ->add_option("--manual-seconds", render.manualSeconds,
                   "How long each item of a manual film stays, and a PowerPoint item's black "
                   "stage (default 5)")
      ->check(CLI::Range(0.0, 86400.0));
  renderCommand->add_option("--media", render.media,
                            "Where a bare film file's media files lie (default: its own folder)");
  renderCommand->add_flag("-q,--quiet", render.quiet,
                          "No progress bar and no summary; warnings and errors only");
  renderCommand->add_flag("--force", render.force,
                          "Replace the frames in a folder that is not empty");
  renderCommand->footer(
      "Timeline: each item's transition (steps + 1 frames at 60 fps), its caption animation "
      "(33 frames), then the item held for its duration (a manual film: --manual-seconds; a "
      "video: to the end of the video). Music plays as the player plays it; a CD track cannot be "
      "had (silence and a warning). A failed render leaves nothing at OUT.");

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
      std::error_code error;
      if (!std::filesystem::is_directory(build.description, error)) {
        for (const char* option : {"--sort", "--duration", "--transition", "--steps", "--stage"}) {
          if (buildCommand->count(option) > 0) {
            err << "filmtool: " << option << " applies to a folder of photos; "
                << (option == std::string_view("--stage")
                        ? "a description gives it in [film] as stage = \"...\""
                        : "a description gives each item its own")
                << "\n";
            return 2;
          }
        }
      }
      build.folder.byDate = buildSort == "date";
      build.folder.withPng = build.pictures.convert;
      BuildFilm(build, out);
    } else if (*newCommand) {
      newFolder.byDate = newSort == "date";
      newFolder.withPng = newPng;
      WriteFolderDescription(newFolderPath, newOutput, newFolder, newForce, out);
    } else if (*inspectCommand) {
      InspectFilm(inspectPath, json, out, err);
    } else if (*extractCommand) {
      ExtractFilm(extractPath, extractFolder, out, err, extractForce);
    } else if (*decodeCommand) {
      DecodePicture(decode, out);
    } else if (*renderCommand) {
      RenderFilm(render, out, err);
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
