#include "tools/filmtool/Description.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "core/film/FilmRecords.h"
#include "core/payload/PlayerPayload.h"
#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }
int LineOf(const toml::key& key) { return static_cast<int>(key.source().begin.line); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Music given as a track number or a ".cda" name means a CD track unless said otherwise.
bool IsCdTrack(const toml::node& music) {
  return music.is_integer() ||
         (music.is_string() &&
          EqualsIgnoringCase(std::filesystem::path(music.as_string()->get()).extension().string(),
                             ".cda"));
}

// toml++ 3.3, the version we build with, has faults that a description can reach, each of them
// an abort in its debug build and undefined behaviour in its release build:
//   - it reads a table header's name or an array's next value without looking at the first
//     character ("[=]", "[[[a]]]", "[1, }"), and past the end of a date followed by a lone digit
//     ("1979-05-27 7,");
//   - it asks whether a character beyond ASCII is a blank through a table with holes, wherever
//     it looks for blanks: outside strings, and after a backslash in a multi-line string.
// So the text goes to toml++ in ASCII: every character beyond ASCII in a string or a comment is
// written as an escape ("\u00E9" in a basic string is the same text; a literal string becomes
// a basic string, backslashes and quotes escaped), one outside them is refused, and so are the
// headers and values toml++ would read blindly. Lines stay where they were, so toml++'s own
// errors keep their lines.
struct TomlText {
  std::string ascii;
  int line = 0;  // where the text is refused, with why
  std::string refusal;
};

// The scalar value of the UTF-8 sequence at `at` and its length, or 0 when it is not UTF-8.
char32_t DecodeUtf8(std::string_view text, size_t at, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
  if (first < 0xC2 || first > 0xF4 || at + length > text.size()) return 0;
  char32_t c = first & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte(at + k) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return c;
}

TomlText AsciiForToml(std::string_view text) {
  TomlText result;
  std::string& out = result.ascii;
  const auto refuse = [&result](int line, std::string why) {
    result.line = line;
    result.refusal = std::move(why);
    return result;
  };
  // Copies the character at `i` (moving `i` to its last byte), escaped when beyond ASCII; bytes
  // that are not UTF-8 pass as they are, for toml++ to refuse.
  const auto copy = [&](size_t& i) {
    size_t length = 0;
    const char32_t c = static_cast<unsigned char>(text[i]) < 0x80 ? 0 : DecodeUtf8(text, i, length);
    if (c == 0) {
      out += text[i];
      return;
    }
    char escape[12];
    std::snprintf(escape, sizeof escape, c > 0xFFFF ? "\\U%08X" : "\\u%04X",
                  static_cast<unsigned>(c));
    out += escape;
    i += length - 1;
  };
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  int line = 1;
  std::string open;          // the '[' and '{' of values still open, innermost last
  char last = '\n';          // the last character but blanks and comments; '\n' at a statement
  bool inKey = true;         // reading keys, where '.' joins them, rather than a value
  bool expectValue = false;  // after an array's '[' or ','
  // toml++ skips a byte-order mark.
  for (size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      out += c;
      if (open.empty()) {
        last = '\n';
        inKey = true;
      }
      continue;
    }
    if (isBlank(c)) {
      out += c;
      continue;
    }
    if (c == '#') {
      for (; i < text.size() && text[i] != '\n'; ++i) copy(i);
      --i;
      continue;
    }
    if (static_cast<unsigned char>(c) >= 0x80) {
      size_t end = i + 1;
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      return refuse(line, "\"" + std::string(text.substr(i, end - i)) +
                              "\" stands outside a string: only strings and comments may hold "
                              "characters beyond ASCII");
    }
    const bool startsToken =
        std::string_view("\n=[{,").find(last) != std::string_view::npos || (last == '.' && inKey);
    if (c == '"' || c == '\'') {
      // Any quote opens a string here: where toml++ reads it as part of a value instead, it
      // refuses that value before the string's end, whatever the string held.
      last = c;
      expectValue = false;
      const bool literal = c == '\'';
      const std::string quotes(text.compare(i, 3, std::string(3, c)) == 0 ? 3 : 1, c);
      out += std::string(quotes.size(), '"');
      for (i += quotes.size(); i < text.size(); ++i) {
        if (text.compare(i, quotes.size(), quotes) == 0) {
          // A multi-line string may end in one or two quotes of its own.
          size_t run = quotes.size();
          while (quotes.size() == 3 && run < 5 && i + run < text.size() && text[i + run] == c) {
            ++run;
          }
          out += literal ? std::string(run - quotes.size(), '\'')
                         : std::string(run - quotes.size(), '"');
          out += std::string(quotes.size(), '"');
          i += run - 1;
          break;
        }
        if (text[i] == '\n') {
          if (quotes.size() == 1) {
            --i;  // an unclosed string, which toml++ refuses; its line end is copied above
            break;
          }
          ++line;
          out += '\n';
        } else if (literal && (text[i] == '\\' || text[i] == '"')) {
          out += '\\';
          out += text[i];
        } else if (!literal && text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
          if (static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            return refuse(line,
                          "a backslash in a string stands before a character beyond ASCII, "
                          "which it cannot escape");
          }
          out += text.substr(i, 2);  // an escaped character, a quote included
          ++i;
        } else {
          copy(i);
        }
      }
      continue;
    }
    if (last == '\n' && c == '[') {
      // A table header.
      size_t at = i + 1;
      const bool array = at < text.size() && text[at] == '[';
      if (array) ++at;
      while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
      const char next = at < text.size() ? text[at] : '\0';
      const bool named = std::isalnum(static_cast<unsigned char>(next)) || next == '_' ||
                         next == '-' || next == '"' || next == '\'';
      // toml++ refuses "[]" and "[ [" with a message of its own.
      if (!named && next != ']' && (array || next != '[')) {
        return refuse(line,
                      "a table header names no table: write [film], [[item]] or [[item.caption]]");
      }
      out += text.substr(i, at - i);
      i = at - 1;
      last = '[';
      continue;
    }
    if (c == '}' && expectValue) {
      return refuse(line, "'}' stands where the array expects a value or ']'");
    }
    if (startsToken && !inKey &&
        (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-')) {
      // toml++ reads a date, a space and one digit as the start of a date and time, and then
      // reads on blindly past the value's end.
      const auto ends = [](char t) {
        return std::string_view(" \t\r\n]},#").find(t) != std::string_view::npos;
      };
      size_t end = i;
      std::string value;  // without the underscores toml++ skips
      for (; end < text.size() && !ends(text[end]); ++end) {
        if (text[end] != '_') value += text[end];
      }
      if (value.size() == 10 && value[4] == '-' && value[7] == '-' && end + 2 < text.size() &&
          text[end] == ' ' && std::isdigit(static_cast<unsigned char>(text[end + 1])) &&
          ends(text[end + 2])) {
        return refuse(line, "a date is followed by a lone digit: write a time as 07:32:00");
      }
    }
    out += c;
    last = c;
    expectValue = false;
    if (c == '=') {
      inKey = false;
    } else if ((c == '[' || c == '{') && startsToken) {
      open += c;
      expectValue = c == '[';
      inKey = c == '{';
    } else if ((c == ']' || c == '}') && !open.empty() && open.back() == (c == ']' ? '[' : '{')) {
      open.pop_back();
    } else if (c == ',' && !open.empty()) {
      expectValue = open.back() == '[';
      inKey = open.back() == '{';
    }
  }
  return result;
}

struct Choice {
  const char* name;
  int32_t value;
};

class Reader;

// One TOML table of the description, checked against the keys its section knows.
class Section {
 public:
  Section(const Reader& reader, const toml::table& table, int line, std::string name,
          std::initializer_list<std::string_view> keys);

  int Line() const { return line_; }
  const toml::node* Find(std::string_view key) const { return table_.get(key); }

  std::optional<int64_t> Integer(std::string_view key, int64_t min, int64_t max) const;
  std::optional<bool> Boolean(std::string_view key) const;
  std::optional<std::string> String(std::string_view key) const;
  std::optional<int32_t> OneOf(std::string_view key, std::initializer_list<Choice> choices) const;
  // An effect given by index or by name.
  std::optional<int32_t> Effect(std::string_view key, int count,
                                std::optional<int> (*fromName)(std::string_view),
                                const char* (*nameOf)(int)) const;

  int LineOfKey(std::string_view key) const { return LineOf(*table_.get(key)); }
  [[noreturn]] void Fail(std::string_view key, const std::string& message) const;

 private:
  const Reader& reader_;
  const toml::table& table_;
  int line_;
  std::string name_;
};

class Reader {
 public:
  explicit Reader(std::string path)
      : path_(std::move(path)), folder_(std::filesystem::path(path_).parent_path()) {}

  [[noreturn]] void Fail(int line, const std::string& message) const {
    throw DescriptionError(DescriptionMessage(path_, line, message));
  }

  FilmDescription Read(const std::string& text) {
    const TomlText ascii = AsciiForToml(text);
    if (ascii.line) Fail(ascii.line, ascii.refusal);
    toml::table root;
    try {
      root = toml::parse(std::string_view(ascii.ascii), std::string_view(path_));
    } catch (const toml::parse_error& e) {
      Fail(static_cast<int>(e.source().begin.line), std::string(e.description()));
    }
    FilmDescription film;
    film.path = path_;
    const Section top(*this, root, 1, "the description", {"film", "item"});
    if (const toml::node* node = top.Find("film")) {
      if (!node->is_table()) top.Fail("film", "'film' must be a table: write [film]");
      ReadFilm(*node->as_table(), film);
    }
    const toml::node* items = top.Find("item");
    if (!items) Fail(1, "the film has no items: add at least one [[item]]");
    if (!items->is_array_of_tables()) top.Fail("item", "items are written as [[item]] tables");
    for (const toml::node& item : *items->as_array()) {
      film.items.push_back(ReadItem(*item.as_table()));
    }
    if (film.items.empty()) Fail(LineOf(*items), "the film has no items");
    return film;
  }

 private:
  void ReadFilm(const toml::table& table, FilmDescription& film) const {
    const Section section(*this, table, LineOf(table), "[film]", {"loop", "play_mode"});
    film.loop = section.Boolean("loop").value_or(true);
    film.playMode = section.OneOf("play_mode", {{"timed", kPlayTimed}, {"manual", kPlayManual}})
                        .value_or(kPlayTimed);
  }

  DescribedItem ReadItem(const toml::table& table) const {
    const Section section(*this, table, LineOf(table), "[[item]]",
                          {"type", "file", "poster", "end_picture", "image_width", "image_height",
                           "duration", "transition", "steps", "music", "music_mode", "caption"});
    DescribedItem item;
    item.line = section.Line();
    item.type = section
                    .OneOf("type", {{"picture", kItemPicture},
                                    {"video", kItemVideo},
                                    {"powerpoint", kItemPowerPoint}})
                    .value_or(kItemPicture);
    const char* typeName = item.type == kItemVideo        ? "video"
                           : item.type == kItemPowerPoint ? "powerpoint"
                                                          : "picture";
    if (!section.Find("file")) {
      Fail(item.line, std::string("this ") + typeName + " item names no file: add file = \"...\"");
    }
    item.file = File(section, "file");
    if (item.type == kItemVideo) {
      if (!section.Find("poster")) {
        Fail(item.line,
             "a video item needs a poster picture (poster = \"still.jpg\"): it stands "
             "for the video on the stage");
      }
      item.poster = File(section, "poster");
      if (section.Find("end_picture")) item.endPicture = File(section, "end_picture");
      ReadVideoSize(section, item);
    } else {
      for (const char* key : {"poster", "end_picture", "image_width", "image_height"}) {
        if (section.Find(key)) section.Fail(key, std::string("'") + key + "' is for video items");
      }
    }
    // A timer of duration x 1000 ms must fit the player's 32-bit milliseconds comfortably.
    item.durationSeconds = static_cast<int32_t>(section.Integer("duration", 1, 86400).value_or(3));
    item.transitionEffect =
        section.Effect("transition", kTransitionCount, &TransitionFromName, &TransitionName)
            .value_or(23);
    // A transition draws steps 0..steps and divides by the step count.
    item.transitionSteps = static_cast<int32_t>(section.Integer("steps", 1, 1000).value_or(23));
    ReadMusic(section, item);
    if (const toml::node* captions = section.Find("caption")) {
      if (!captions->is_array_of_tables()) {
        section.Fail("caption", "captions are written as [[item.caption]] tables");
      }
      for (const toml::node& caption : *captions->as_array()) {
        if (item.type != kItemPicture) {
          Fail(LineOf(caption), "captions are shown over picture items only");
        }
        item.captions.push_back(ReadCaption(*caption.as_table()));
      }
    }
    return item;
  }

  void ReadVideoSize(const Section& section, DescribedItem& item) const {
    const std::optional<int64_t> width = section.Integer("image_width", 1, 32767);
    const std::optional<int64_t> height = section.Integer("image_height", 1, 32767);
    if (width.has_value() != height.has_value()) {
      section.Fail(width ? "image_width" : "image_height",
                   "give both image_width and image_height, or neither");
    }
    if (width) {
      item.imageWidth = static_cast<int32_t>(*width);
      item.imageHeight = static_cast<int32_t>(*height);
    }
  }

  void ReadMusic(const Section& section, DescribedItem& item) const {
    const toml::node* music = section.Find("music");
    item.musicMode = section
                         .OneOf("music_mode", {{"keep", kMusicKeep},
                                               {"stop", kMusicStop},
                                               {"cd", kMusicCdTrack},
                                               {"file", kMusicFile}})
                         .value_or(!music              ? kMusicKeep
                                   : IsCdTrack(*music) ? kMusicCdTrack
                                                       : kMusicFile);
    if (item.musicMode == kMusicKeep || item.musicMode == kMusicStop) {
      if (music) {
        section.Fail("music", "music is given, but music_mode \"" +
                                  std::string(item.musicMode == kMusicKeep ? "keep" : "stop") +
                                  "\" plays none: use music_mode = \"file\" or \"cd\"");
      }
      return;
    }
    if (!music) {
      section.Fail("music_mode", item.musicMode == kMusicFile
                                     ? "music_mode \"file\" needs a music file: music = \"x.mid\""
                                     : "music_mode \"cd\" needs a track: music = 2 or "
                                       "music = \"Track02.cda\"");
    }
    if (item.musicMode == kMusicFile) {
      item.music = File(section, "music");
      // The player picks the music device by the extension and knows these two only.
      const std::string extension = std::filesystem::path(item.music->written).extension().string();
      if (!EqualsIgnoringCase(extension, ".mid") && !EqualsIgnoringCase(extension, ".wav")) {
        section.Fail("music",
                     "music files must be MIDI (.mid) or wave (.wav) files; the player "
                     "plays no others");
      }
      return;
    }
    item.cdTrackLine = LineOf(*music);
    if (music->is_integer()) {
      const int64_t track = section.Integer("music", 1, 99).value();
      char name[16];
      std::snprintf(name, sizeof name, "Track%02d.cda", static_cast<int>(track));
      item.cdTrack = name;
      return;
    }
    // The player plays the track whose number starts at the sixth character of the name.
    const std::string name = section.String("music").value();
    const bool plain = !name.empty() && name.find_first_of("/\\:") == std::string::npos;
    const std::string extension = std::filesystem::path(name).extension().string();
    const long track = name.size() > 5 ? std::strtol(name.c_str() + 5, nullptr, 10) : 0;
    if (!plain || !EqualsIgnoringCase(extension, ".cda") || track < 1 || track > 99 ||
        name.size() >= kPathFieldWidth ||
        std::any_of(name.begin(), name.end(), [](char c) { return c < 0x20 || c > 0x7E; })) {
      section.Fail("music", "a CD track is named like \"Track02.cda\" (or given as a number)");
    }
    if (HoldsMediaMarker(name)) section.Fail("music", MediaMarkerMessage("the CD track's name"));
    item.cdTrack = name;
  }

  DescribedCaption ReadCaption(const toml::table& table) const {
    const Section section(
        *this, table, LineOf(table), "[[item.caption]]",
        {"text", "effect", "left", "top", "colour", "line_spacing", "alignment", "shadow", "font"});
    DescribedCaption described;
    described.line = section.Line();
    Caption& caption = described.caption;
    caption.text = CaptionText(section);
    caption.textEffect =
        section.Effect("effect", kCaptionEffectCount, &CaptionEffectFromName,
                       &CaptionEffectName)
            .value_or(11);  // appear
    // Positions go to GDI, whose coordinates stay within 16 bits on every Windows.
    caption.left = static_cast<int32_t>(section.Integer("left", -32768, 32767).value_or(0));
    caption.top = static_cast<int32_t>(section.Integer("top", -32768, 32767).value_or(0));
    caption.textColour = Colour(section).value_or(0x00FFFFFF);
    caption.lineSpacing =
        static_cast<int32_t>(section.Integer("line_spacing", 1, 1000).value_or(100));
    caption.alignment =
        section.OneOf("alignment", {{"left", 0}, {"centre", 1}, {"center", 1}, {"right", 2}})
            .value_or(0);
    caption.shadow = section.Boolean("shadow").value_or(false) ? 1 : 0;
    caption.font = Font(section);
    return described;
  }

  std::string CaptionText(const Section& section) const {
    const toml::node* node = section.Find("text");
    if (!node) Fail(section.Line(), "this caption has no text: add text = \"...\"");
    std::vector<std::string> lines;
    auto split = [&lines](std::string_view text) {
      for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        std::string line(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string_view::npos) break;
        start = end + 1;
      }
    };
    if (node->is_string()) {
      split(node->as_string()->get());
    } else if (node->is_array() && node->as_array()->is_homogeneous(toml::node_type::string)) {
      for (const toml::node& line : *node->as_array()) split(line.as_string()->get());
    } else {
      section.Fail("text", "'text' must be a string or an array of lines");
    }
    std::string utf8;
    for (size_t i = 0; i < lines.size(); ++i) {
      for (const char c : lines[i]) {
        if (static_cast<unsigned char>(c) < 0x20) {
          section.Fail("text", "the caption text holds a control character (code " +
                                   std::to_string(static_cast<int>(c)) +
                                   "); only line breaks may separate its lines");
        }
      }
      if (i > 0) utf8 += "\r\n";  // the player's caption layout breaks lines at "\r\n" only
      utf8 += lines[i];
    }
    const std::string text = FilmText(section, "text", utf8, "the caption text");
    if (text.size() >= kCaptionTextWidth) {
      section.Fail("text", "the caption text takes " + std::to_string(text.size()) +
                               " bytes with its line breaks; a caption holds at most " +
                               std::to_string(kCaptionTextWidth - 1));
    }
    return text;
  }

  std::optional<uint32_t> Colour(const Section& section) const {
    const std::optional<std::string> text = section.String("colour");
    if (!text) return std::nullopt;
    const bool valid = text->size() == 7 && (*text)[0] == '#' &&
                       std::all_of(text->begin() + 1, text->end(), [](char c) {
                         return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                       });
    if (!valid) section.Fail("colour", "a colour is written \"#RRGGBB\", e.g. \"#FFD700\"");
    const auto rgb = static_cast<uint32_t>(std::stoul(text->substr(1), nullptr, 16));
    // A COLORREF holds red in its lowest byte: 0x00BBGGRR.
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  }

  LogFontA Font(const Section& caption) const {
    LogFontA font;
    // The film's usual caption font: Arial, regular, about 45 points on the stage.
    font.height = -60;
    font.weight = 400;
    font.outPrecision = 3;   // OUT_STROKE_PRECIS
    font.clipPrecision = 2;  // CLIP_STROKE_PRECIS
    font.quality = 1;        // DRAFT_QUALITY
    font.pitchAndFamily = 0x22;
    std::string face = "Arial";
    if (const toml::node* node = caption.Find("font")) {
      if (!node->is_table()) {
        caption.Fail("font", "'font' must be a table, e.g. font = { face = \"Arial\" }");
      }
      const toml::table& table = *node->as_table();
      const Section section(*this, table, LineOf(*node), "the font",
                            {"face", "height", "width", "escapement", "orientation", "weight",
                             "italic", "underline", "strike_out", "charset", "out_precision",
                             "clip_precision", "quality", "pitch_and_family"});
      auto integer = [&](std::string_view key, int64_t min, int64_t max, auto& field) {
        if (const auto value = section.Integer(key, min, max)) {
          field = static_cast<std::remove_reference_t<decltype(field)>>(*value);
        }
      };
      auto flag = [&](std::string_view key, uint8_t& field) {
        if (const auto value = section.Boolean(key)) field = *value ? 1 : 0;
      };
      integer("height", -2000, 2000, font.height);
      integer("width", 0, 2000, font.width);
      integer("escapement", -3600, 3600, font.escapement);
      integer("orientation", -3600, 3600, font.orientation);
      integer("weight", 0, 1000, font.weight);
      flag("italic", font.italic);
      flag("underline", font.underline);
      flag("strike_out", font.strikeOut);
      integer("charset", 0, 255, font.charSet);
      integer("out_precision", 0, 255, font.outPrecision);
      integer("clip_precision", 0, 255, font.clipPrecision);
      integer("quality", 0, 255, font.quality);
      integer("pitch_and_family", 0, 255, font.pitchAndFamily);
      if (section.Find("face")) {
        face = FilmText(section, "face", section.String("face").value(), "the font face");
        if (face.empty()) section.Fail("face", "the font face is empty");
        if (face.size() >= static_cast<size_t>(LogFontA::kFaceSize)) {
          section.Fail("face", "the font face \"" + Cp1252ToUtf8(face) + "\" is " +
                                   std::to_string(face.size()) + " bytes; at most " +
                                   std::to_string(LogFontA::kFaceSize - 1) + " fit");
        }
      }
    }
    std::memcpy(font.faceName.data(), face.data(), face.size());
    return font;
  }

  // The text in the film's code page, or an error that shows the first character it lacks.
  std::string FilmText(const Section& section, std::string_view key, const std::string& utf8,
                       const std::string& what) const {
    size_t bad = 0;
    std::optional<std::string> text = Utf8ToCp1252(utf8, &bad);
    if (!text) {
      size_t end = bad + 1;
      while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
      section.Fail(key, what + " holds \"" + utf8.substr(bad, end - bad) +
                            "\", which the film's code page (Windows-1252) cannot store");
    }
    if (HoldsMediaMarker(*text)) section.Fail(key, MediaMarkerMessage(what));
    return *text;
  }

  DescribedFile File(const Section& section, std::string_view key) const {
    DescribedFile file;
    file.written = section.String(key).value();
    file.line = section.LineOfKey(key);
    if (file.written.empty()) section.Fail(key, "the file name is empty");
    file.path = (folder_ / std::filesystem::path(file.written)).string();
    return file;
  }

  std::string path_;
  std::filesystem::path folder_;
};

Section::Section(const Reader& reader, const toml::table& table, int line, std::string name,
                 std::initializer_list<std::string_view> keys)
    : reader_(reader), table_(table), line_(line), name_(std::move(name)) {
  // Report the first unknown key in the order the author wrote them.
  const toml::key* unknown = nullptr;
  for (auto&& [key, value] : table_) {
    const bool known = std::find(keys.begin(), keys.end(), key.str()) != keys.end();
    if (!known && (!unknown || LineOf(key) < LineOf(*unknown))) unknown = &key;
  }
  if (unknown) {
    std::string list;
    for (const std::string_view key : keys) list += (list.empty() ? "" : ", ") + std::string(key);
    reader_.Fail(LineOf(*unknown), "unknown key '" + std::string(unknown->str()) + "' in " + name_ +
                                       " (known keys: " + list + ")");
  }
}

void Section::Fail(std::string_view key, const std::string& message) const {
  const toml::node* node = table_.get(key);
  reader_.Fail(node ? LineOf(*node) : line_, message);
}

std::optional<int64_t> Section::Integer(std::string_view key, int64_t min, int64_t max) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (!node->is_integer()) Fail(key, "'" + std::string(key) + "' must be a whole number");
  const int64_t value = node->as_integer()->get();
  if (value < min || value > max) {
    Fail(key, "'" + std::string(key) + "' is " + std::to_string(value) + "; it must be between " +
                  std::to_string(min) + " and " + std::to_string(max));
  }
  return value;
}

std::optional<bool> Section::Boolean(std::string_view key) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (!node->is_boolean()) Fail(key, "'" + std::string(key) + "' must be true or false");
  return node->as_boolean()->get();
}

std::optional<std::string> Section::String(std::string_view key) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (!node->is_string()) Fail(key, "'" + std::string(key) + "' must be a string");
  return node->as_string()->get();
}

std::optional<int32_t> Section::OneOf(std::string_view key,
                                      std::initializer_list<Choice> choices) const {
  std::string list;
  for (const Choice& choice : choices)
    list += (list.empty() ? "\"" : ", \"") + std::string(choice.name) + "\"";
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (node->is_string()) {
    for (const Choice& choice : choices) {
      if (EqualsIgnoringCase(node->as_string()->get(), choice.name)) return choice.value;
    }
  }
  Fail(key, "'" + std::string(key) + "' must be one of " + list);
}

std::optional<int32_t> Section::Effect(std::string_view key, int count,
                                       std::optional<int> (*fromName)(std::string_view),
                                       const char* (*nameOf)(int)) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (node->is_integer()) return static_cast<int32_t>(Integer(key, 0, count - 1).value());
  if (node->is_string()) {
    if (const std::optional<int> index = fromName(node->as_string()->get())) return *index;
    std::string names;
    for (int i = 0; i < count; ++i) names += (i ? ", " : "") + std::string(nameOf(i));
    Fail(key, "unknown " + std::string(key) + " \"" + node->as_string()->get() +
                  "\"; give an index 0.." + std::to_string(count - 1) + " or one of: " + names);
  }
  Fail(key,
       "'" + std::string(key) + "' must be a name or an index 0.." + std::to_string(count - 1));
}

}  // namespace

std::string DescriptionMessage(const std::string& path, int line, const std::string& message) {
  return path + ":" + std::to_string(line) + ": " + message;
}

bool HoldsMediaMarker(std::string_view text) {
  const auto marker = MediaMarker();
  return text.find(std::string_view(marker.data(), marker.size())) != std::string_view::npos;
}

std::string MediaMarkerMessage(const std::string& what) {
  const auto marker = MediaMarker();
  return what + " holds \"" + std::string(marker.data(), marker.size()) +
         "\", the text that marks the media in a player program: the player would stop its "
         "search there, inside the film, and never find its media";
}

FilmDescription ParseDescription(const std::string& text, const std::string& path) {
  return Reader(path).Read(text);
}

FilmDescription ReadDescription(const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const std::runtime_error& e) {
    throw DescriptionError(e.what());
  }
  return ParseDescription({bytes.begin(), bytes.end()}, path);
}

}  // namespace lumafolio
