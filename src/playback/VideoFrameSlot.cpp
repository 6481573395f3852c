#include "VideoFrameSlot.h"

namespace kp {

bool TVideoFrameSlot::Store(TVideoFrame frame)
{
  TVideoFrame old;
  bool wasQuiet;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    old = std::move(FFrame);
    FFrame = std::move(frame);
    wasQuiet = !FNews;
    FNews = true;
    ++FStored;
  }
  // old is released here, outside the lock: that may unmap a buffer.
  return wasQuiet;
}

TVideoFrame TVideoFrameSlot::Latest() const
{
  std::lock_guard<std::mutex> lock(FMutex);
  return FFrame;
}

void TVideoFrameSlot::Clear()
{
  TVideoFrame old;
  std::lock_guard<std::mutex> lock(FMutex);
  old = std::move(FFrame);
  FFrame = TVideoFrame();
  FNews = false;
}

void TVideoFrameSlot::SetFormat(QSize size, int parN, int parD)
{
  std::lock_guard<std::mutex> lock(FMutex);
  FSize = size;
  FParN = parN;
  FParD = parD;
}

bool TVideoFrameSlot::Format(QSize &size, int &parN, int &parD) const
{
  std::lock_guard<std::mutex> lock(FMutex);
  size = FSize;
  parN = FParN;
  parD = FParD;
  return FSize.width() > 0 && FSize.height() > 0;
}

void TVideoFrameSlot::SetShownSize(QSize size)
{
  std::lock_guard<std::mutex> lock(FMutex);
  FShownSize = size;
}

QSize TVideoFrameSlot::ShownSize() const
{
  std::lock_guard<std::mutex> lock(FMutex);
  return FShownSize;
}

int TVideoFrameSlot::Subscribe(std::function<void()> onFrame)
{
  const int id = FNextId++;
  FListeners[id] = std::move(onFrame);
  return id;
}

void TVideoFrameSlot::Unsubscribe(int id)
{
  FListeners.erase(id);
}

void TVideoFrameSlot::Announce()
{
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FNews = false;
  }
  // A listener may unsubscribe while being told; iterate over a copy.
  const auto listeners = FListeners;
  for (const auto &entry : listeners)
    if (entry.second) entry.second();
}

uint64_t TVideoFrameSlot::StoredCount() const
{
  std::lock_guard<std::mutex> lock(FMutex);
  return FStored;
}

} // namespace kp
