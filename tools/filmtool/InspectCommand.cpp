#include "tools/filmtool/InspectCommand.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/payload/MediaLayout.h"
#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/FilmJson.h"
#include "tools/filmtool/FilmSource.h"
#include "tools/filmtool/Printable.h"

namespace lumafolio {
namespace {

std::string Format(const char* format, auto... values) {
  // Escaped names may be four times their 260 bytes: size the text to fit.
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<size_t>(std::max(length, 0)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

// A film text as the terminal may show it.
std::string Shown(const std::string& filmText) { return Printable(Cp1252ToUtf8(filmText)); }

std::string Quoted(const std::string& filmText) { return "\"" + Shown(filmText) + "\""; }

std::string TypeName(int32_t type) {
  const char* name = ItemTypeName(type);
  return name ? name : "type " + std::to_string(type);
}

std::string MusicModeText(int32_t mode) {
  const char* name = MusicModeName(mode);
  return name ? name : "mode " + std::to_string(mode);
}

std::string Clock(int64_t seconds) {
  return seconds >= 3600 ? Format("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                                  static_cast<long long>(seconds / 60 % 60),
                                  static_cast<long long>(seconds % 60))
                         : Format("%lld:%02lld", static_cast<long long>(seconds / 60),
                                  static_cast<long long>(seconds % 60));
}

// How long a timed film runs once through: its pictures' durations. Videos and PowerPoint shows
// run as long as they play, and transitions as fast as the machine draws them, so they are named
// rather than guessed.
std::string RunningTime(const FilmDocument& film) {
  if (film.PlayMode() != kPlayTimed) return "no running time: the viewer steps through the film";
  int64_t seconds = 0;
  int pictures = 0;
  int others = 0;
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    const FilmItem item = film.GetItem(position);
    if (item.itemType == kItemPicture) {
      seconds += std::max<int32_t>(item.durationSeconds, 0);
      ++pictures;
    } else {
      ++others;
    }
  }
  std::string text = "running time " + Clock(seconds) + " (the durations of " +
                     std::to_string(pictures) + " picture" + (pictures == 1 ? "" : "s") +
                     "; not counted: transitions";
  if (others) {
    text += ", and " + std::to_string(others) + " video or PowerPoint item" +
            (others == 1 ? "" : "s") + ", which run as long as they play";
  }
  return text + ")";
}

std::string EffectText(int32_t index, const char* name) {
  return std::to_string(index) + (name ? std::string(" ") + name : std::string(" (unknown)"));
}

std::string AlignmentName(int32_t alignment) {
  return alignment == 0 ? "left" : alignment == 2 ? "right" : "centre";
}

std::string CaptionText(std::string filmText) {
  for (size_t at; (at = filmText.find("\r\n")) != std::string::npos;) {
    filmText.replace(at, 2, " / ");
  }
  return Quoted(filmText);
}

void PrintCaption(const Caption& caption, std::ostream& out) {
  const LogFontA& font = caption.font;
  size_t faceLength = 0;
  while (faceLength < font.faceName.size() && font.faceName[faceLength]) ++faceLength;
  const uint32_t c = caption.textColour;
  out << "      caption " << caption.position << ": " << CaptionText(caption.text) << "\n"
      << "        effect " << EffectText(caption.textEffect, CaptionEffectName(caption.textEffect))
      << ", at " << caption.left << "," << caption.top << ", "
      << Format("#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) << ", "
      << AlignmentName(caption.alignment) << ", line spacing " << caption.lineSpacing
      << (caption.shadow ? ", shadow" : "") << "\n"
      << "        font " << Quoted(std::string(font.faceName.data(), faceLength)) << " height "
      << font.height << " weight " << font.weight << (font.italic ? " italic" : "")
      << (font.underline ? " underline" : "") << (font.strikeOut ? " strike-out" : "")
      << Format(" (charset %d, precision %d/%d, quality %d, pitch and family 0x%02X", font.charSet,
                font.outPrecision, font.clipPrecision, font.quality, font.pitchAndFamily)
      << (font.width || font.escapement || font.orientation
              ? Format(", width %d, escapement %d, orientation %d", font.width, font.escapement,
                       font.orientation)
              : std::string())
      << ")\n";
}

std::string StageText(const FilmStage& stage) {
  switch (stage.kind) {
    case FilmStage::Kind::kClassic:
      return "classic 800x600 stage";
    case FilmStage::Kind::kScreen:
      return "stage of the screen's size";
    case FilmStage::Kind::kSized:
      break;
  }
  return FilmStageName(stage) + " stage";
}

void PrintListing(const OpenedFilm& opened, std::ostream& out) {
  const FilmDocument& film = *opened.film;
  out << opened.path << ": ";
  if (opened.payload) {
    out << "player program of " << opened.fileSize << " bytes; film file at "
        << opened.payload->filmStart << " (" << opened.payload->FilmSize() << " bytes), media from "
        << opened.payload->mediaStart << "\n";
  } else {
    out << "film file of " << opened.fileSize << " bytes\n";
  }
  out << "loop " << (film.LoopFlag() ? "on" : "off") << ", "
      << (film.PlayMode() == kPlayTimed    ? "timed play"
          : film.PlayMode() == kPlayManual ? "manual play"
                                           : "play mode")
      << " (" << film.PlayMode() << "), " << StageText(film.Stage()) << ", " << film.ItemCount()
      << " item" << (film.ItemCount() == 1 ? "" : "s")
      << (opened.readOk ? "" : "; THE FILM COULD NOT BE READ COMPLETELY") << "\n"
      << RunningTime(film) << "\n\n";

  out << Format("%4s  %-10s %-32s %9s %5s  %-22s %5s  %s\n", "#", "type", "media file", "picture",
                "time", "transition", "steps", "music");
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    const FilmItem item = film.GetItem(position);
    const std::string size = Format("%dx%d", item.imageWidth, item.imageHeight);
    const std::string transition =
        EffectText(item.transitionEffect, TransitionName(item.transitionEffect));
    out << Format("%4d  %-10s %-32s %9s %4ds  %-22s %5d  %s\n", item.position,
                  TypeName(item.itemType).c_str(), Shown(item.mediaFile).c_str(), size.c_str(),
                  item.durationSeconds, transition.c_str(), item.transitionSteps,
                  MusicModeText(item.musicMode).c_str());
    if (!item.mediaFolder.empty()) out << "      media folder " << Quoted(item.mediaFolder) << "\n";
    if (!item.posterImage.empty()) out << "      poster " << Quoted(item.posterImage) << "\n";
    if (!item.endPicture.empty()) out << "      end picture " << Quoted(item.endPicture) << "\n";
    if (item.musicMode == kMusicCdTrack || item.musicMode == kMusicFile ||
        (!item.musicFile.empty() && item.musicFile != "0")) {
      out << "      music " << Quoted(item.musicFile) << "\n";
    }
    for (const Caption& caption : item.captions) PrintCaption(caption, out);
  }

  if (!opened.payload) return;
  out << "\n" << Format("%4s  %-13s %12s %12s  %s\n", "item", "field", "offset", "size", "name");
  for (const MediaEntry& entry : opened.media) {
    const bool outside = !entry.FitsIn(opened.fileSize);
    out << Format("%4d  %-13s %12lld %12lld  %s%s\n", entry.item, MediaFieldName(entry.field),
                  static_cast<long long>(entry.offset), static_cast<long long>(entry.size),
                  Shown(entry.name).c_str(), outside ? "  (runs past the end of the file)" : "");
  }
}

}  // namespace

void InspectFilm(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
  const OpenedFilm opened = OpenFilm(path);
  if (json) {
    nlohmann::ordered_json document = FilmToJson(*opened.film, opened.readOk);
    if (opened.payload) {
      document["payload"] = PayloadToJson(opened.payload->filmStart, opened.payload->mediaStart,
                                          opened.payload->FilmSize(), opened.media);
    }
    out << document.dump(2) << "\n";
  } else {
    PrintListing(opened, out);
  }
  if (!opened.readOk) throw std::runtime_error(UnreadableFilmMessage(opened));
  ReportComplaints(opened, err);
}

}  // namespace lumafolio
