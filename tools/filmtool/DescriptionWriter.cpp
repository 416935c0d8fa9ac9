#include "tools/filmtool/DescriptionWriter.h"

#include <cstdio>
#include <sstream>

#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/FilmJson.h"

namespace lumafolio {
namespace {

// A TOML basic string. Characters beyond ASCII stay as they are (the reader takes UTF-8);
// control characters, C1 ones included, are escaped so that the file stays plain text.
std::string Quoted(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char escape[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else if (c == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(utf8[++i]));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string FilmQuoted(const std::string& filmText) { return Quoted(Cp1252ToUtf8(filmText)); }

std::string Effect(int32_t index, const char* name) {
  return name ? Quoted(name) : std::to_string(index);
}

std::string Flag(int value) { return value ? "true" : "false"; }

class Writer {
 public:
  explicit Writer(const MediaPaths* paths) : paths_(paths) {}

  WrittenDescription Write(const FilmDocument& film) {
    out_ << "# Written by filmtool extract: `filmtool build film.toml -o FILM.exe` makes the film\n"
         << "# again. Every value is written out, defaults included.\n\n"
         << "[film]\n"
         << "loop = " << Flag(film.LoopFlag()) << "\n";
    if (const char* mode = PlayModeName(film.PlayMode())) {
      out_ << "play_mode = " << Quoted(mode) << "\n";
    } else {
      Lose("the film", "play mode " + std::to_string(film.PlayMode()) + ", which has no name");
    }
    // Left out for a classic film, whose description stays as it always was.
    if (film.Stage() != FilmStage{})
      out_ << "stage = " << Quoted(FilmStageName(film.Stage())) << "\n";
    for (int32_t position = 1; position <= film.ItemCount(); ++position) {
      WriteItem(film.GetItem(position));
    }
    return {out_.str(), std::move(losses_)};
  }

 private:
  void Lose(const std::string& where, const std::string& what) {
    losses_.push_back(where + ": " + what);
  }

  // The file a media field names; a name whose file is not in the film is written as the film
  // gives it, for `build` to report as missing.
  void WriteFile(const FilmItem& item, const char* key, MediaField field,
                 const std::string& filmName) {
    const auto path = paths_ ? paths_->find({item.position, field}) : MediaPaths::const_iterator();
    if (!paths_ || path == paths_->end()) {
      if (paths_) {
        Lose(Where(item), std::string(key) + " \"" + Cp1252ToUtf8(filmName) +
                              "\", which is not among the film's media files");
      }
      out_ << key << " = " << FilmQuoted(filmName) << "\n";
      return;
    }
    out_ << key << " = " << Quoted(path->second) << "\n";
  }

  static std::string Where(const FilmItem& item) { return "item " + std::to_string(item.position); }

  void WriteItem(const FilmItem& item) {
    const std::string where = Where(item);
    out_ << "\n[[item]]\n";
    if (const char* type = ItemTypeName(item.itemType)) {
      out_ << "type = " << Quoted(type) << "\n";
    } else {
      Lose(where, "type " + std::to_string(item.itemType) + ", which has no name");
    }
    WriteFile(item, "file", MediaField::kMediaFile, item.mediaFile);
    if (!item.mediaFolder.empty()) {
      Lose(where, "the media folder \"" + Cp1252ToUtf8(item.mediaFolder) + "\"");
    }
    if (item.itemType == kItemVideo) {
      if (!item.posterImage.empty()) {
        WriteFile(item, "poster", MediaField::kPosterImage, item.posterImage);
      }
      if (!item.endPicture.empty()) {
        WriteFile(item, "end_picture", MediaField::kEndPicture, item.endPicture);
      }
      out_ << "image_width = " << item.imageWidth << "\nimage_height = " << item.imageHeight
           << "\n";
    } else {
      if (!item.posterImage.empty() || !item.endPicture.empty()) {
        Lose(where, "a poster or end picture, which only video items have");
      }
      // A picture's size is read from the picture again; other items have none.
      if (item.itemType != kItemPicture && (item.imageWidth != 0 || item.imageHeight != 0)) {
        Lose(where, "the picture size " + std::to_string(item.imageWidth) + "x" +
                        std::to_string(item.imageHeight) + ", which only pictures and videos have");
      }
    }
    out_ << "duration = " << item.durationSeconds << "\n"
         << "transition = " << Effect(item.transitionEffect, TransitionName(item.transitionEffect))
         << "\n"
         << "steps = " << item.transitionSteps << "\n";
    WriteMusic(item);
    for (const Caption& caption : item.captions) WriteCaption(where, caption);
  }

  void WriteMusic(const FilmItem& item) {
    const char* mode = MusicModeName(item.musicMode);
    if (!mode) {
      Lose(Where(item), "music mode " + std::to_string(item.musicMode) + ", which has no name");
      return;
    }
    out_ << "music_mode = " << Quoted(mode) << "\n";
    if (item.musicMode == kMusicFile) {
      WriteFile(item, "music", MediaField::kMusicFile, item.musicFile);
    } else if (item.musicMode == kMusicCdTrack) {
      out_ << "music = " << FilmQuoted(item.musicFile) << "\n";
    } else if (item.musicFile != "0") {
      // What films hold when an item plays no music; a build writes it again.
      Lose(Where(item), "the music file \"" + Cp1252ToUtf8(item.musicFile) + "\" of music mode \"" +
                            mode + "\"");
    }
  }

  void WriteCaption(const std::string& item, const Caption& caption) {
    const std::string where = item + ", caption " + std::to_string(caption.position);
    out_ << "\n[[item.caption]]\n";
    // Lines are separated by "\r\n" in the film; the reader puts that between the lines again.
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
      const size_t end = caption.text.find("\r\n", start);
      lines.push_back(caption.text.substr(start, end == std::string::npos ? end : end - start));
      if (lines.back().find_first_of("\r\n") != std::string::npos) {
        Lose(where, "a line break other than CR LF in the text");
      }
      if (end == std::string::npos) break;
      start = end + 2;
    }
    if (lines.size() == 1) {
      out_ << "text = " << FilmQuoted(lines[0]) << "\n";
    } else {
      out_ << "text = [";
      for (size_t i = 0; i < lines.size(); ++i) out_ << (i ? ", " : "") << FilmQuoted(lines[i]);
      out_ << "]\n";
    }
    const uint32_t c = caption.textColour;
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF,
                  (c >> 16) & 0xFF);
    if (c >> 24) Lose(where, "the colour's top byte " + std::to_string(c >> 24));
    const char* alignment = caption.alignment == 0   ? "left"
                            : caption.alignment == 2 ? "right"
                                                     : "centre";
    if (caption.alignment < 0 || caption.alignment > 2) {
      Lose(where, "alignment " + std::to_string(caption.alignment) + " (shown centred)");
    }
    if (caption.shadow != 0 && caption.shadow != 1) {
      Lose(where, "shadow " + std::to_string(caption.shadow) + " (a shadow)");
    }
    out_ << "effect = " << Effect(caption.textEffect, CaptionEffectName(caption.textEffect))
         << "\nleft = " << caption.left << "\ntop = " << caption.top << "\ncolour = \"" << colour
         << "\"\nline_spacing = " << caption.lineSpacing << "\nalignment = \"" << alignment
         << "\"\nshadow = " << Flag(caption.shadow) << "\n";
    const LogFontA& font = caption.font;
    for (const auto& [name, value] : {std::pair{"italic", font.italic},
                                      {"underline", font.underline},
                                      {"strike_out", font.strikeOut}}) {
      if (value > 1) Lose(where, std::string("font ") + name + " " + std::to_string(value));
    }
    size_t faceLength = 0;
    while (faceLength < font.faceName.size() && font.faceName[faceLength]) ++faceLength;
    out_ << "font = { face = " << FilmQuoted(std::string(font.faceName.data(), faceLength))
         << ", height = " << font.height << ", width = " << font.width
         << ", escapement = " << font.escapement << ", orientation = " << font.orientation
         << ", weight = " << font.weight << ", italic = " << Flag(font.italic)
         << ", underline = " << Flag(font.underline) << ", strike_out = " << Flag(font.strikeOut)
         << ", charset = " << int{font.charSet} << ", out_precision = " << int{font.outPrecision}
         << ", clip_precision = " << int{font.clipPrecision} << ", quality = " << int{font.quality}
         << ", pitch_and_family = " << int{font.pitchAndFamily} << " }\n";
  }

  const MediaPaths* paths_;
  std::ostringstream out_;
  std::vector<std::string> losses_;
};

}  // namespace

WrittenDescription DescribeFilm(const FilmDocument& film, const MediaPaths* paths) {
  return Writer(paths).Write(film);
}

}  // namespace lumafolio
