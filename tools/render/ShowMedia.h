#pragma once

#include <optional>
#include <string>

#include "core/payload/MediaLayout.h"
#include "core/show/StagePicture.h"

namespace lumafolio::render {

// Where the timeline gets an item's media from: a player program's payload, the files beside a
// bare film file, or the files a description names.
class ShowMedia {
 public:
  virtual ~ShowMedia() = default;
  // The picture `field` of item `position` as the player's decoder gives it (the decoded
  // bitmap, its width rounded up as the decoder does), or nothing when the item has none or it
  // does not decode; the implementation says why on its warnings.
  virtual std::optional<StagePicture> Picture(int position, MediaField field) = 0;
  // A file on disk holding `field` of item `position` (a video, a music file), or empty when
  // the item has none stored.
  virtual std::string File(int position, MediaField field) = 0;
  // Whether item `position` stores `field` at all (without decoding it).
  virtual bool Has(int position, MediaField field) const = 0;
};

}  // namespace lumafolio::render
