#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumafolio {

// The stage a film plays on. Every film made before films could choose plays on the classic
// 800x600 stage; a film may instead ask for a stage of the screen's size or of a given size,
// on which pictures are fitted from their full resolution and captions grow with the stage.
struct FilmStage {
  enum class Kind { kClassic, kScreen, kSized };
  Kind kind = Kind::kClassic;  // classic: 800x600 as every film has always played
  int width = 0, height = 0;   // kSized only
  bool operator==(const FilmStage&) const = default;
};

// "classic", "screen" (either in any case) or "WxH" (e.g. "1920x1080"; 800x600 .. 7680x4320,
// each side at least the classic one's); nullopt + *reason otherwise.
std::optional<FilmStage> ParseFilmStage(std::string_view text, std::string* reason = nullptr);
std::string FilmStageName(const FilmStage& stage);  // "classic", "screen", "1920x1080"

// The film file's root stream that holds the stage. Players that predate it skip it, as they
// skip every stream at the root that they do not read, so a film with a stage still plays on
// them as the classic film it also is. Classic films carry no such stream.
inline constexpr const char* kStageStreamName = "STAGE";

// The stream's text: "key = value" lines of ASCII, each ended by "\r\n"; "stage" is the only
// key so far. A reader ignores keys it does not know, so that later settings can join it.
std::string StageStreamText(const FilmStage& stage);
// The stage the text names. A stage given in a form this version does not know (a later
// version's, or damage) reads as classic: the film still plays, on the stage every film can.
FilmStage StageFromStreamText(std::string_view text);

}  // namespace lumafolio
