#include "core/captions/AnimatedCaptions.h"

#include "core/effects/EffectTable.h"

namespace lumafolio {

std::vector<AnimatedCaption> LayOutCaptions(const FilmItem& item, const CaptionLayouter& layout,
                                            const std::function<Caption(const Caption&)>& place) {
  std::vector<AnimatedCaption> captions;
  for (const Caption& caption : item.captions) {
    if (static_cast<int>(captions.size()) == kMaxAnimatedCaptions) break;
    if (caption.textEffect < 0 || caption.textEffect >= kCaptionEffectRecordCount) continue;
    AnimatedCaption& animated = captions.emplace_back();
    animated.effect = caption.textEffect;
    animated.caption = place ? place(caption) : caption;
    CaptionExtent block;
    animated.glyphCount = layout(animated.caption, animated.glyphs, &block);
    animated.caption.textWidth = block.width;
    animated.caption.textHeight = block.height;
  }
  return captions;
}

}  // namespace lumafolio
