#include "PlaybackControls.h"

#include "UnitBSImage.h"
#include "UnitGraphics.h"

#include <algorithm>

namespace kp {

TMyGraphic *TPlaybackControls::GraphOf(const QObject *image) const
{
  if (!image || !Graphs || !GraphImages) return nullptr;
  const auto found = std::find_if(GraphImages->begin(), GraphImages->end(),
                                  [image](const TBS_Image *i) { return static_cast<const QObject *>(i) == image; });
  const auto index = static_cast<size_t>(found - GraphImages->begin());
  return index < Graphs->size() ? (*Graphs)[index].get() : nullptr;
}

} // namespace kp
