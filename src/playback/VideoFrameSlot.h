#pragma once
// The hand-over point between a video renderer's streaming thread and the
// widgets that paint its pictures: the latest decoded frame, kept without
// copying, plus the GUI-thread listeners that repaint when one arrives.

#include "DSInterfaces.h"

#include <QImage>
#include <QSize>
#include <functional>
#include <map>
#include <mutex>

namespace kp {

struct TVideoFrame {
  QImage Image;             // wraps the decoder's buffer (RGB32, no copy)
  QImage Shown;             // Image scaled to the display's asked size, or null
  REFERENCE_TIME Time = -1; // presentation time, 100-ns units; -1 unknown
  int ParN = 1, ParD = 1;   // pixel aspect ratio from the caps
  bool IsValid() const { return !Image.isNull(); }
};

class TVideoFrameSlot {
public:
  // Any thread. Replaces the held frame; returns true when the slot was
  // empty of news (the caller then asks the GUI thread to Announce once).
  bool Store(TVideoFrame frame);
  TVideoFrame Latest() const;
  void Clear();
  // Caps seen by the renderer (any thread); kept after Clear so a stopped
  // graph still knows its picture size.
  void SetFormat(QSize size, int parN, int parD);
  bool Format(QSize &size, int &parN, int &parD) const;
  // The size the display shows the whole picture at, when smaller than the
  // frame (empty otherwise): the renderer then scales frames to it on its
  // own thread. Any thread.
  void SetShownSize(QSize size);
  QSize ShownSize() const;

  // GUI thread only.
  int Subscribe(std::function<void()> onFrame);
  void Unsubscribe(int id);
  void Announce();

  // Frames stored and frames announced (for the benchmark and tests).
  uint64_t StoredCount() const;

private:
  mutable std::mutex FMutex;
  TVideoFrame FFrame;
  QSize FSize;
  QSize FShownSize;
  int FParN = 1, FParD = 1;
  bool FNews = false;
  uint64_t FStored = 0;
  std::map<int, std::function<void()>> FListeners;
  int FNextId = 1;
};
using TVideoFrameSlotPtr = std::shared_ptr<TVideoFrameSlot>;

// A filter that renders video into a frame slot.
class IVideoRenderer : public virtual IBaseFilter {
public:
  virtual TVideoFrameSlotPtr Frames() = 0;
};

} // namespace kp
