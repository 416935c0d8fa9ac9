#include "tools/filmtool/Description.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

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
          // A literal string written as a basic one must not run into a '"' after it: ''" would
          // reach toml++ as """, the start of a multi-line string, and '''x'''" as a string
          // ending in a quote of its own; in TOML no quote may follow a string anyway.
          if (literal && i + 1 < text.size() && text[i + 1] == '"') {
            return refuse(line,
                          "a '\"' follows the string that ends here: a value ends at a line "
                          "end, a comma or a bracket");
          }
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
      // A number, a date or a time is made of letters, digits and "+-.:" alone; toml++ 3.3
      // takes other ASCII characters in one on trust (characters beyond ASCII are refused as
      // they come).
      const auto foreign = [](char t) {
        return static_cast<unsigned char>(t) < 0x80 &&
               !std::isalnum(static_cast<unsigned char>(t)) &&
               std::string_view("+-.:").find(t) == std::string_view::npos;
      };
      if (std::any_of(value.begin(), value.end(), foreign)) {
        return refuse(
            line, "\"" + std::string(text.substr(i, end - i)) + "\" is no number, date or time");
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

// How many single-character edits turn one name into the other, case aside.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known name nearest to a mistyped one, when it is near enough to be what was meant: one
// edit in a short name, two or three in longer ones.
std::optional<std::string_view> NearestName(std::string_view given,
                                            const std::vector<std::string_view>& names) {
  const size_t allowed = given.size() <= 3 ? 1 : given.size() <= 7 ? 2 : 3;
  // No name is this long: nothing is near, and measuring would take long for a long text.
  if (given.size() > 64) return std::nullopt;
  std::optional<std::string_view> best;
  size_t bestDistance = allowed + 1;
  for (const std::string_view name : names) {
    const size_t distance = EditDistance(given, name);
    if (distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}

// A transition step takes one refresh of a 60 Hz screen.
constexpr int kStepsPerSecond = 60;

// Lists of up to this many names are shown whole in errors; longer ones offer the nearest name.
constexpr size_t kFewNames = 8;

std::string QuotedList(const std::vector<std::string_view>& names) {
  std::string list;
  for (const std::string_view name : names) {
    list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
  }
  return list;
}

// A colour as a COLORREF, which holds red in its lowest byte: 0x00BBGGRR.
constexpr uint32_t ColourRef(uint32_t rgb) {
  return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

struct NamedColour {
  const char* name;
  uint32_t rgb;
};

// The colour names of CSS, which authors know from the web.
constexpr NamedColour kCssColours[] = {
    {"aliceblue", 0xF0F8FF},
    {"antiquewhite", 0xFAEBD7},
    {"aqua", 0x00FFFF},
    {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF},
    {"beige", 0xF5F5DC},
    {"bisque", 0xFFE4C4},
    {"black", 0x000000},
    {"blanchedalmond", 0xFFEBCD},
    {"blue", 0x0000FF},
    {"blueviolet", 0x8A2BE2},
    {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887},
    {"cadetblue", 0x5F9EA0},
    {"chartreuse", 0x7FFF00},
    {"chocolate", 0xD2691E},
    {"coral", 0xFF7F50},
    {"cornflowerblue", 0x6495ED},
    {"cornsilk", 0xFFF8DC},
    {"crimson", 0xDC143C},
    {"cyan", 0x00FFFF},
    {"darkblue", 0x00008B},
    {"darkcyan", 0x008B8B},
    {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9},
    {"darkgreen", 0x006400},
    {"darkgrey", 0xA9A9A9},
    {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B},
    {"darkolivegreen", 0x556B2F},
    {"darkorange", 0xFF8C00},
    {"darkorchid", 0x9932CC},
    {"darkred", 0x8B0000},
    {"darksalmon", 0xE9967A},
    {"darkseagreen", 0x8FBC8F},
    {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F},
    {"darkslategrey", 0x2F4F4F},
    {"darkturquoise", 0x00CED1},
    {"darkviolet", 0x9400D3},
    {"deeppink", 0xFF1493},
    {"deepskyblue", 0x00BFFF},
    {"dimgray", 0x696969},
    {"dimgrey", 0x696969},
    {"dodgerblue", 0x1E90FF},
    {"firebrick", 0xB22222},
    {"floralwhite", 0xFFFAF0},
    {"forestgreen", 0x228B22},
    {"fuchsia", 0xFF00FF},
    {"gainsboro", 0xDCDCDC},
    {"ghostwhite", 0xF8F8FF},
    {"gold", 0xFFD700},
    {"goldenrod", 0xDAA520},
    {"gray", 0x808080},
    {"green", 0x008000},
    {"greenyellow", 0xADFF2F},
    {"grey", 0x808080},
    {"honeydew", 0xF0FFF0},
    {"hotpink", 0xFF69B4},
    {"indianred", 0xCD5C5C},
    {"indigo", 0x4B0082},
    {"ivory", 0xFFFFF0},
    {"khaki", 0xF0E68C},
    {"lavender", 0xE6E6FA},
    {"lavenderblush", 0xFFF0F5},
    {"lawngreen", 0x7CFC00},
    {"lemonchiffon", 0xFFFACD},
    {"lightblue", 0xADD8E6},
    {"lightcoral", 0xF08080},
    {"lightcyan", 0xE0FFFF},
    {"lightgoldenrodyellow", 0xFAFAD2},
    {"lightgray", 0xD3D3D3},
    {"lightgreen", 0x90EE90},
    {"lightgrey", 0xD3D3D3},
    {"lightpink", 0xFFB6C1},
    {"lightsalmon", 0xFFA07A},
    {"lightseagreen", 0x20B2AA},
    {"lightskyblue", 0x87CEFA},
    {"lightslategray", 0x778899},
    {"lightslategrey", 0x778899},
    {"lightsteelblue", 0xB0C4DE},
    {"lightyellow", 0xFFFFE0},
    {"lime", 0x00FF00},
    {"limegreen", 0x32CD32},
    {"linen", 0xFAF0E6},
    {"magenta", 0xFF00FF},
    {"maroon", 0x800000},
    {"mediumaquamarine", 0x66CDAA},
    {"mediumblue", 0x0000CD},
    {"mediumorchid", 0xBA55D3},
    {"mediumpurple", 0x9370DB},
    {"mediumseagreen", 0x3CB371},
    {"mediumslateblue", 0x7B68EE},
    {"mediumspringgreen", 0x00FA9A},
    {"mediumturquoise", 0x48D1CC},
    {"mediumvioletred", 0xC71585},
    {"midnightblue", 0x191970},
    {"mintcream", 0xF5FFFA},
    {"mistyrose", 0xFFE4E1},
    {"moccasin", 0xFFE4B5},
    {"navajowhite", 0xFFDEAD},
    {"navy", 0x000080},
    {"oldlace", 0xFDF5E6},
    {"olive", 0x808000},
    {"olivedrab", 0x6B8E23},
    {"orange", 0xFFA500},
    {"orangered", 0xFF4500},
    {"orchid", 0xDA70D6},
    {"palegoldenrod", 0xEEE8AA},
    {"palegreen", 0x98FB98},
    {"paleturquoise", 0xAFEEEE},
    {"palevioletred", 0xDB7093},
    {"papayawhip", 0xFFEFD5},
    {"peachpuff", 0xFFDAB9},
    {"peru", 0xCD853F},
    {"pink", 0xFFC0CB},
    {"plum", 0xDDA0DD},
    {"powderblue", 0xB0E0E6},
    {"purple", 0x800080},
    {"rebeccapurple", 0x663399},
    {"red", 0xFF0000},
    {"rosybrown", 0xBC8F8F},
    {"royalblue", 0x4169E1},
    {"saddlebrown", 0x8B4513},
    {"salmon", 0xFA8072},
    {"sandybrown", 0xF4A460},
    {"seagreen", 0x2E8B57},
    {"seashell", 0xFFF5EE},
    {"sienna", 0xA0522D},
    {"silver", 0xC0C0C0},
    {"skyblue", 0x87CEEB},
    {"slateblue", 0x6A5ACD},
    {"slategray", 0x708090},
    {"slategrey", 0x708090},
    {"snow", 0xFFFAFA},
    {"springgreen", 0x00FF7F},
    {"steelblue", 0x4682B4},
    {"tan", 0xD2B48C},
    {"teal", 0x008080},
    {"thistle", 0xD8BFD8},
    {"tomato", 0xFF6347},
    {"turquoise", 0x40E0D0},
    {"violet", 0xEE82EE},
    {"wheat", 0xF5DEB3},
    {"white", 0xFFFFFF},
    {"whitesmoke", 0xF5F5F5},
    {"yellow", 0xFFFF00},
    {"yellowgreen", 0x9ACD32},
};
static_assert(std::size(kCssColours) == 148, "CSS names 148 colours");

struct Choice {
  const char* name;
  int32_t value;
};

// Thrown once a mistake has been recorded: it leaves the value being read, and the reader goes
// on with the next one.
struct Fault {};

class Reader;

// One TOML table of the description, checked against the keys its section knows.
class Section {
 public:
  Section(const Reader& reader, const toml::table& table, int line, std::string name,
          std::initializer_list<std::string_view> keys);

  int Line() const { return line_; }
  const toml::node* Find(std::string_view key) const { return table_.get(key); }

  std::optional<int64_t> Integer(std::string_view key, int64_t min, int64_t max) const;
  // A whole number that may be written as a float with nothing after the point (5.0).
  std::optional<int64_t> Whole(std::string_view key, int64_t min, int64_t max,
                               const char* why) const;
  std::optional<double> Number(std::string_view key) const;
  std::optional<bool> Boolean(std::string_view key) const;
  std::optional<std::string> String(std::string_view key) const;
  std::optional<int32_t> OneOf(std::string_view key, std::initializer_list<Choice> choices) const;
  // An effect given by index or by name.
  std::optional<int32_t> Effect(std::string_view key, int count,
                                std::optional<int> (*fromName)(std::string_view),
                                const char* (*nameOf)(int), const char* listing) const;
  // The one of two spellings that is given ("colour" or "color"); both at once is a mistake.
  std::string_view Spelling(std::string_view key, std::string_view other) const;
  // Two keys that say the same thing in different ways must not both be given.
  void Exclusive(std::string_view key, std::string_view other) const;

  int LineOfKey(std::string_view key) const { return LineOf(*table_.get(key)); }
  [[noreturn]] void Fail(std::string_view key, const std::string& message) const;
  void Note(std::string_view key, const std::string& message) const;

 private:
  const Reader& reader_;
  const toml::table& table_;
  int line_;
  std::string name_;
};

// What [film] gives every item and caption that does not say otherwise.
struct FilmDefaults {
  std::optional<int32_t> duration;
  std::optional<int32_t> transition;
  std::optional<int32_t> steps;
  std::optional<DescribedItem> music;  // its music fields only; for the first item
  std::optional<uint32_t> colour;
  std::optional<int32_t> lineSpacing;
  std::optional<int32_t> alignment;
  std::optional<bool> shadow;
  LogFontA font;
};

// The keys of a caption's style, which [film] may set for every caption.
#define LUMAFOLIO_CAPTION_STYLE_KEYS \
  "font", "colour", "color", "shadow", "alignment", "line_spacing"

class Reader {
 public:
  // `checkFiles`: whether the files the description names must exist now, which is known only
  // of a description read from its own folder.
  Reader(std::string path, bool checkFiles)
      : path_(std::move(path)),
        folder_(std::filesystem::path(path_).parent_path()),
        checkFiles_(checkFiles) {}

  // Records a mistake and goes on reading.
  void Note(int line, const std::string& message) const {
    faults_.push_back({line, DescriptionMessage(path_, line, message)});
  }
  // Records a mistake and leaves the value being read.
  [[noreturn]] void Fail(int line, const std::string& message) const {
    Note(line, message);
    throw Fault{};
  }
  // Reads one value; a mistake in it is recorded and the next value is read all the same.
  template <typename Read>
  void Check(Read&& read) const {
    try {
      read();
    } catch (const Fault&) {
    }
  }

  FilmDescription Read(const std::string& text) {
    FilmDescription film;
    film.path = path_;
    Check([&] { ReadAll(text, film); });
    if (!faults_.empty()) {
      std::stable_sort(faults_.begin(), faults_.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      std::vector<std::string> lines;
      for (auto& fault : faults_) lines.push_back(std::move(fault.second));
      throw DescriptionError(std::move(lines));
    }
    return film;
  }

 private:
  void ReadAll(const std::string& text, FilmDescription& film) {
    const TomlText ascii = AsciiForToml(text);
    if (ascii.line) Fail(ascii.line, ascii.refusal);
    toml::table root;
    try {
      root = toml::parse(std::string_view(ascii.ascii), std::string_view(path_));
    } catch (const toml::parse_error& e) {
      Fail(static_cast<int>(e.source().begin.line), std::string(e.description()));
    }
    const Section top(*this, root, 1, "the description", {"film", "item"});
    FilmDefaults defaults;
    defaults.font = DefaultFont();
    if (const toml::node* node = top.Find("film")) {
      Check([&] {
        if (!node->is_table()) top.Fail("film", "'film' must be a table: write [film]");
        ReadFilm(*node->as_table(), film, defaults);
      });
    }
    const toml::node* items = top.Find("item");
    if (!items) Fail(1, "the film has no items: add at least one [[item]]");
    if (!items->is_array_of_tables()) top.Fail("item", "items are written as [[item]] tables");
    for (const toml::node& item : *items->as_array()) {
      const bool first = film.items.empty();
      film.items.push_back(ReadItem(*item.as_table(), defaults, first));
    }
    if (film.items.empty()) Fail(LineOf(*items), "the film has no items");
  }

  void ReadFilm(const toml::table& table, FilmDescription& film, FilmDefaults& defaults) const {
    const Section section(
        *this, table, LineOf(table), "[film]",
        {"loop", "play_mode", "stage", "duration", "transition", "steps", "transition_seconds",
         "music", "music_mode", LUMAFOLIO_CAPTION_STYLE_KEYS});
    Check([&] { film.loop = section.Boolean("loop").value_or(true); });
    Check([&] {
      film.playMode = section.OneOf("play_mode", {{"timed", kPlayTimed}, {"manual", kPlayManual}})
                          .value_or(kPlayTimed);
    });
    Check([&] { film.stage = Stage(section); });
    Check([&] { defaults.duration = Duration(section); });
    Check([&] { defaults.transition = Transition(section); });
    Check([&] { defaults.steps = Steps(section); });
    if (section.Find("music") || section.Find("music_mode")) {
      defaults.music.emplace();
      Check([&] { ReadMusic(section, *defaults.music); });
    }
    Check([&] { defaults.colour = Colour(section); });
    Check([&] { defaults.lineSpacing = LineSpacing(section); });
    Check([&] { defaults.alignment = Alignment(section); });
    Check([&] { defaults.shadow = section.Boolean("shadow"); });
    defaults.font = Font(section, defaults.font);
  }

  DescribedItem ReadItem(const toml::table& table, const FilmDefaults& defaults, bool first) const {
    const Section section(
        *this, table, LineOf(table), "[[item]]",
        {"type", "file", "poster", "end_picture", "image_width", "image_height", "duration",
         "transition", "steps", "transition_seconds", "music", "music_mode", "caption"});
    DescribedItem item;
    item.line = section.Line();
    bool typeKnown = false;  // a mistyped type says nothing about which keys the item may have
    Check([&] {
      item.type = section
                      .OneOf("type", {{"picture", kItemPicture},
                                      {"video", kItemVideo},
                                      {"powerpoint", kItemPowerPoint}})
                      .value_or(kItemPicture);
      typeKnown = true;
    });
    const char* typeName = item.type == kItemVideo        ? "video"
                           : item.type == kItemPowerPoint ? "powerpoint"
                                                          : "picture";
    if (!section.Find("file")) {
      Note(item.line, std::string("this ") + typeName + " item names no file: add file = \"...\"");
    } else {
      Check([&] { item.file = File(section, "file"); });
    }
    if (item.type == kItemVideo) {
      if (!section.Find("poster")) {
        Note(item.line,
             "a video item needs a poster picture (poster = \"still.jpg\"): it stands "
             "for the video on the stage");
      } else {
        Check([&] { item.poster = File(section, "poster"); });
      }
      Check([&] {
        if (section.Find("end_picture")) item.endPicture = File(section, "end_picture");
      });
      Check([&] { ReadVideoSize(section, item); });
    } else if (typeKnown) {
      for (const char* key : {"poster", "end_picture", "image_width", "image_height"}) {
        if (section.Find(key)) section.Note(key, std::string("'") + key + "' is for video items");
      }
    }
    Check(
        [&] { item.durationSeconds = Duration(section).value_or(defaults.duration.value_or(3)); });
    Check([&] {
      item.transitionEffect = Transition(section).value_or(defaults.transition.value_or(23));
    });
    Check([&] { item.transitionSteps = Steps(section).value_or(defaults.steps.value_or(23)); });
    if (first && defaults.music && !section.Find("music") && !section.Find("music_mode")) {
      // The film's music starts with its first item; the others keep it playing.
      item.musicMode = defaults.music->musicMode;
      item.music = defaults.music->music;
      item.cdTrack = defaults.music->cdTrack;
      item.cdTrackLine = defaults.music->cdTrackLine;
    } else {
      Check([&] { ReadMusic(section, item); });
    }
    if (const toml::node* captions = section.Find("caption")) {
      if (!captions->is_array_of_tables()) {
        section.Note("caption", "captions are written as [[item.caption]] tables");
        return item;
      }
      for (const toml::node& caption : *captions->as_array()) {
        if (item.type != kItemPicture) {
          Note(LineOf(caption), "captions are shown over picture items only");
          continue;
        }
        item.captions.push_back(ReadCaption(*caption.as_table(), defaults));
      }
    }
    return item;
  }

  FilmStage Stage(const Section& section) const {
    const std::optional<std::string> text = section.String("stage");
    if (!text) return {};
    std::string reason;
    const std::optional<FilmStage> stage = ParseFilmStage(*text, &reason);
    if (!stage) section.Fail("stage", "'stage' is \"" + *text + "\": " + reason);
    return *stage;
  }

  std::optional<int32_t> Duration(const Section& section) const {
    // A timer of duration x 1000 ms must fit the player's 32-bit milliseconds comfortably.
    const auto seconds = section.Whole("duration", 1, 86400, "durations are whole seconds");
    if (!seconds) return std::nullopt;
    return static_cast<int32_t>(*seconds);
  }

  std::optional<int32_t> Transition(const Section& section) const {
    return section.Effect("transition", kTransitionCount, &TransitionFromName, &TransitionName,
                          "transitions");
  }

  // The transition's length: steps, or seconds at the 60 screen refreshes a second that a step
  // takes on the player's usual screens.
  std::optional<int32_t> Steps(const Section& section) const {
    section.Exclusive("transition_seconds", "steps");
    // A transition draws steps 0..steps and divides by the step count.
    if (const auto steps = section.Integer("steps", 1, 1000)) return static_cast<int32_t>(*steps);
    const std::optional<double> seconds = section.Number("transition_seconds");
    if (!seconds) return std::nullopt;
    const double steps = std::round(*seconds * kStepsPerSecond);
    if (!(steps >= 1 && steps <= 1000)) {
      char text[64];
      std::snprintf(text, sizeof text, "%g", *seconds);
      section.Fail("transition_seconds",
                   std::string("'transition_seconds' is ") + text +
                       "; it must be between 0.01 and 16.67 (1 to 1000 steps at 60 a second)");
    }
    return static_cast<int32_t>(steps);
  }

  std::optional<int32_t> LineSpacing(const Section& section) const {
    const auto spacing = section.Integer("line_spacing", 1, 1000);
    if (!spacing) return std::nullopt;
    return static_cast<int32_t>(*spacing);
  }

  std::optional<int32_t> Alignment(const Section& section) const {
    return section.OneOf("alignment", {{"left", 0}, {"centre", 1}, {"center", 1}, {"right", 2}});
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

  DescribedCaption ReadCaption(const toml::table& table, const FilmDefaults& defaults) const {
    const Section section(*this, table, LineOf(table), "[[item.caption]]",
                          {"text", "effect", "left", "top", LUMAFOLIO_CAPTION_STYLE_KEYS});
    DescribedCaption described;
    described.line = section.Line();
    Caption& caption = described.caption;
    Check([&] { caption.text = CaptionText(section); });
    Check([&] {
      caption.textEffect = section
                               .Effect("effect", kCaptionEffectCount, &CaptionEffectFromName,
                                       &CaptionEffectName, "captions")
                               .value_or(11);  // appear
    });
    // Positions go to GDI, whose coordinates stay within 16 bits on every Windows.
    Check([&] {
      caption.left = static_cast<int32_t>(section.Integer("left", -32768, 32767).value_or(0));
    });
    Check([&] {
      caption.top = static_cast<int32_t>(section.Integer("top", -32768, 32767).value_or(0));
    });
    Check([&] {
      caption.textColour = Colour(section).value_or(defaults.colour.value_or(0x00FFFFFF));
    });
    Check([&] {
      caption.lineSpacing = LineSpacing(section).value_or(defaults.lineSpacing.value_or(100));
    });
    Check([&] { caption.alignment = Alignment(section).value_or(defaults.alignment.value_or(0)); });
    Check([&] {
      caption.shadow = section.Boolean("shadow").value_or(defaults.shadow.value_or(false)) ? 1 : 0;
    });
    caption.font = Font(section, defaults.font);
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
    const std::string_view key = section.Spelling("colour", "color");
    const std::optional<std::string> text = section.String(key);
    if (!text) return std::nullopt;
    if (!text->empty() && (*text)[0] == '#') {
      const bool hex = (text->size() == 4 || text->size() == 7) &&
                       std::all_of(text->begin() + 1, text->end(), [](char c) {
                         return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                       });
      if (!hex) {
        section.Fail(key,
                     "a colour is written \"#RRGGBB\" or \"#RGB\" (e.g. \"#FFD700\"), or "
                     "as a CSS colour name (e.g. \"gold\")");
      }
      uint32_t rgb = static_cast<uint32_t>(std::stoul(text->substr(1), nullptr, 16));
      if (text->size() == 4) {
        // "#RGB" stands for "#RRGGBB" with every digit doubled.
        rgb = (rgb >> 8 & 0xF) * 0x110000 | (rgb >> 4 & 0xF) * 0x1100 | (rgb & 0xF) * 0x11;
      }
      return ColourRef(rgb);
    }
    std::vector<std::string_view> names;
    for (const NamedColour& colour : kCssColours) {
      if (EqualsIgnoringCase(*text, colour.name)) return ColourRef(colour.rgb);
      names.push_back(colour.name);
    }
    const auto nearest = NearestName(*text, names);
    section.Fail(key, "unknown colour \"" + *text + "\"" +
                          (nearest ? "; did you mean '" + std::string(*nearest) + "'?"
                                   : "; write \"#RRGGBB\", \"#RGB\" or a CSS colour name"));
  }

  static LogFontA DefaultFont() {
    LogFontA font;
    // The film's usual caption font: Arial, regular, about 45 points on the stage.
    font.height = -60;
    font.weight = 400;
    font.outPrecision = 3;   // OUT_STROKE_PRECIS
    font.clipPrecision = 2;  // CLIP_STROKE_PRECIS
    font.quality = 1;        // DRAFT_QUALITY
    font.pitchAndFamily = 0x22;
    std::memcpy(font.faceName.data(), "Arial", 5);
    return font;
  }

  // The font of `owner`'s `font` table: `base` with the fields the table gives.
  LogFontA Font(const Section& owner, LogFontA font) const {
    const toml::node* node = owner.Find("font");
    if (!node) return font;
    if (!node->is_table()) {
      owner.Note("font", "'font' must be a table, e.g. font = { face = \"Arial\", size = 24 }");
      return font;
    }
    const Section section(*this, *node->as_table(), LineOf(*node), "the font",
                          {"face", "size", "bold", "height", "width", "escapement", "orientation",
                           "weight", "italic", "underline", "strike_out", "charset",
                           "out_precision", "clip_precision", "quality", "pitch_and_family"});
    auto integer = [&](std::string_view key, int64_t min, int64_t max, auto& field) {
      Check([&] {
        if (const auto value = section.Integer(key, min, max)) {
          field = static_cast<std::remove_reference_t<decltype(field)>>(*value);
        }
      });
    };
    auto flag = [&](std::string_view key, uint8_t& field) {
      Check([&] {
        if (const auto value = section.Boolean(key)) field = *value ? 1 : 0;
      });
    };
    Check([&] { section.Exclusive("size", "height"); });
    Check([&] { section.Exclusive("bold", "weight"); });
    integer("height", -2000, 2000, font.height);
    Check([&] {
      if (const auto height = FontSize(section)) font.height = *height;
    });
    integer("width", 0, 2000, font.width);
    integer("escapement", -3600, 3600, font.escapement);
    integer("orientation", -3600, 3600, font.orientation);
    integer("weight", 0, 1000, font.weight);
    Check([&] {
      if (const auto bold = section.Boolean("bold")) font.weight = *bold ? 700 : 400;
    });
    flag("italic", font.italic);
    flag("underline", font.underline);
    flag("strike_out", font.strikeOut);
    integer("charset", 0, 255, font.charSet);
    integer("out_precision", 0, 255, font.outPrecision);
    integer("clip_precision", 0, 255, font.clipPrecision);
    integer("quality", 0, 255, font.quality);
    integer("pitch_and_family", 0, 255, font.pitchAndFamily);
    Check([&] {
      if (!section.Find("face")) return;
      const std::string face =
          FilmText(section, "face", section.String("face").value(), "the font face");
      if (face.empty()) section.Fail("face", "the font face is empty");
      if (face.size() >= static_cast<size_t>(LogFontA::kFaceSize)) {
        section.Fail("face", "the font face \"" + Cp1252ToUtf8(face) + "\" is " +
                                 std::to_string(face.size()) + " bytes; at most " +
                                 std::to_string(LogFontA::kFaceSize - 1) + " fit");
      }
      font.faceName.fill('\0');
      std::memcpy(font.faceName.data(), face.data(), face.size());
    });
    return font;
  }

  // A font's `size` as the LOGFONT height that asks for that character height: points at the
  // 96 dots per inch the player's screens have (24 or "24pt"), or pixels ("32px").
  static std::optional<int32_t> FontSize(const Section& section) {
    const toml::node* node = section.Find("size");
    if (!node) return std::nullopt;
    const char* form = "a font size is points (24, 10.5 or \"24pt\") or pixels (\"32px\")";
    double points = 0;
    if (node->is_integer() || node->is_floating_point()) {
      points = section.Number("size").value();
    } else if (node->is_string()) {
      const std::string& text = node->as_string()->get();
      const bool pixels = text.size() > 2 && text.compare(text.size() - 2, 2, "px") == 0;
      const bool pointsUnit = text.size() > 2 && text.compare(text.size() - 2, 2, "pt") == 0;
      const std::string number = text.substr(0, text.size() - 2);
      const bool digits = !number.empty() &&
                          number.find_first_not_of("0123456789.") == std::string::npos &&
                          std::isdigit(static_cast<unsigned char>(number[0])) &&
                          std::count(number.begin(), number.end(), '.') <= (pixels ? 0 : 1);
      if ((!pixels && !pointsUnit) || !digits) section.Fail("size", form);
      const double value = std::strtod(number.c_str(), nullptr);
      if (pixels) {
        if (value < 1 || value > 2000) section.Fail("size", "a font size in pixels is 1 to 2000");
        return -static_cast<int32_t>(value);
      }
      points = value;
    } else {
      section.Fail("size", form);
    }
    const double height = std::round(points * 96 / 72);
    if (!(height >= 1 && height <= 2000)) {
      section.Fail("size", "a font size in points is 1 to 1500");
    }
    return -static_cast<int32_t>(height);
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
    // A mistyped name is among the commonest mistakes: it is reported with the others here,
    // before the build reads the files one by one.
    std::error_code error;
    if (checkFiles_ && !std::filesystem::is_regular_file(file.path, error)) {
      section.Note(key, "cannot read " + file.written + ": " +
                            (std::filesystem::exists(file.path, error) ? "not a regular file"
                                                                       : "no such file"));
    }
    return file;
  }

  std::string path_;
  std::filesystem::path folder_;
  bool checkFiles_;
  mutable std::vector<std::pair<int, std::string>> faults_;  // line and message
};

// Where a key that is unknown in one section belongs, for keys that are written in the wrong
// table more often than mistyped.
const char* SectionOfKey(std::string_view key) {
  for (const std::string_view style : {LUMAFOLIO_CAPTION_STYLE_KEYS}) {
    if (key == style) return "[[item.caption]] (or in [film], for every caption)";
  }
  for (const std::string_view caption : {"text", "effect", "left", "top"}) {
    if (key == caption) return "[[item.caption]]";
  }
  for (const std::string_view film : {"loop", "play_mode"}) {
    if (key == film) return "[film]";
  }
  for (const std::string_view item :
       {"type", "file", "poster", "end_picture", "image_width", "image_height", "caption"}) {
    if (key == item) return "[[item]]";
  }
  return nullptr;
}

Section::Section(const Reader& reader, const toml::table& table, int line, std::string name,
                 std::initializer_list<std::string_view> keys)
    : reader_(reader), table_(table), line_(line), name_(std::move(name)) {
  const std::vector<std::string_view> known(keys.begin(), keys.end());
  for (auto&& [key, value] : table_) {
    if (std::find(known.begin(), known.end(), key.str()) != known.end()) continue;
    std::string message = "unknown key '" + std::string(key.str()) + "' in " + name_;
    const auto nearest = known.size() > kFewNames ? NearestName(key.str(), known) : std::nullopt;
    if (const char* home = SectionOfKey(key.str())) {
      message += "; it belongs in " + std::string(home);
    } else if (nearest) {
      message += "; did you mean '" + std::string(*nearest) + "'?";
    } else {
      std::string list;
      for (const std::string_view k : known) list += (list.empty() ? "" : ", ") + std::string(k);
      message += " (known keys: " + list + ")";
    }
    reader_.Note(LineOf(key), message);
  }
}

void Section::Note(std::string_view key, const std::string& message) const {
  const toml::node* node = table_.get(key);
  reader_.Note(node ? LineOf(*node) : line_, message);
}

void Section::Fail(std::string_view key, const std::string& message) const {
  Note(key, message);
  throw Fault{};
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

std::optional<int64_t> Section::Whole(std::string_view key, int64_t min, int64_t max,
                                      const char* why) const {
  const toml::node* node = Find(key);
  if (!node || !node->is_floating_point()) return Integer(key, min, max);
  const double value = node->as_floating_point()->get();
  if (value != std::floor(value) || value < static_cast<double>(min) ||
      value > static_cast<double>(max)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    Fail(key, "'" + std::string(key) + "' is " + text + "; " + why + ", between " +
                  std::to_string(min) + " and " + std::to_string(max));
  }
  return static_cast<int64_t>(value);
}

std::optional<double> Section::Number(std::string_view key) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (node->is_integer()) return static_cast<double>(node->as_integer()->get());
  if (!node->is_floating_point() || !std::isfinite(node->as_floating_point()->get())) {
    Fail(key, "'" + std::string(key) + "' must be a number");
  }
  return node->as_floating_point()->get();
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

std::string_view Section::Spelling(std::string_view key, std::string_view other) const {
  Exclusive(other, key);
  return Find(other) ? other : key;
}

void Section::Exclusive(std::string_view key, std::string_view other) const {
  if (Find(key) && Find(other)) {
    Fail(key, "give '" + std::string(key) + "' or '" + std::string(other) + "', not both");
  }
}

std::optional<int32_t> Section::OneOf(std::string_view key,
                                      std::initializer_list<Choice> choices) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  std::vector<std::string_view> names;
  for (const Choice& choice : choices) names.push_back(choice.name);
  if (!node->is_string())
    Fail(key, "'" + std::string(key) + "' must be one of " + QuotedList(names));
  const std::string& given = node->as_string()->get();
  for (const Choice& choice : choices) {
    if (EqualsIgnoringCase(given, choice.name)) return choice.value;
  }
  Fail(key, "unknown " + std::string(key) + " \"" + given + "\"; it must be one of " +
                QuotedList(names));
}

std::optional<int32_t> Section::Effect(std::string_view key, int count,
                                       std::optional<int> (*fromName)(std::string_view),
                                       const char* (*nameOf)(int), const char* listing) const {
  const toml::node* node = Find(key);
  if (!node) return std::nullopt;
  if (node->is_integer()) return static_cast<int32_t>(Integer(key, 0, count - 1).value());
  const std::string every = std::string("`filmtool list ") + listing + "` shows every name";
  if (node->is_string()) {
    const std::string& given = node->as_string()->get();
    if (const std::optional<int> index = fromName(given)) return *index;
    std::vector<std::string_view> names;
    for (int i = 0; i < count; ++i) names.push_back(nameOf(i));
    const auto nearest = NearestName(given, names);
    Fail(key, "unknown " + std::string(key) + " \"" + given + "\"; " +
                  (nearest ? "did you mean '" + std::string(*nearest) + "'? " : "") + "(" + every +
                  "; an index 0.." + std::to_string(count - 1) + " is also taken)");
  }
  Fail(key, "'" + std::string(key) + "' must be a name or an index 0.." +
                std::to_string(count - 1) + " (" + every + ")");
}

}  // namespace

DescriptionError::DescriptionError(std::vector<std::string> lines)
    : std::runtime_error([&lines] {
        std::string all;
        for (const std::string& line : lines) all += (all.empty() ? "" : "\n") + line;
        return all;
      }()),
      lines_(std::move(lines)) {}

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
  return Reader(path, false).Read(text);
}

FilmDescription ReadDescription(const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const std::runtime_error& e) {
    throw DescriptionError(e.what());
  }
  return Reader(path, true).Read({bytes.begin(), bytes.end()});
}

}  // namespace lumafolio
