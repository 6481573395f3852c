#include "VideoFrameSlot.h"

namespace kp {

bool TVideoFrameSlot::Store(TVideoFrame frame)
{
  TVideoFrame old;
  bool wasQuiet;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    old = std::move(m_frame);
    m_frame = std::move(frame);
    wasQuiet = !m_news;
    m_news = true;
    ++m_stored;
  }
  // old is released here, outside the lock: that may unmap a buffer.
  return wasQuiet;
}

TVideoFrame TVideoFrameSlot::Latest() const
{
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frame;
}

void TVideoFrameSlot::Clear()
{
  TVideoFrame old;
  std::lock_guard<std::mutex> lock(m_mutex);
  old = std::move(m_frame);
  m_frame = TVideoFrame();
  m_news = false;
}

void TVideoFrameSlot::SetFormat(QSize size, int parN, int parD)
{
  std::lock_guard<std::mutex> lock(m_mutex);
  m_size = size;
  m_parN = parN;
  m_parD = parD;
}

bool TVideoFrameSlot::Format(QSize &size, int &parN, int &parD) const
{
  std::lock_guard<std::mutex> lock(m_mutex);
  size = m_size;
  parN = m_parN;
  parD = m_parD;
  return m_size.width() > 0 && m_size.height() > 0;
}

int TVideoFrameSlot::Subscribe(std::function<void()> onFrame)
{
  const int id = m_nextId++;
  m_listeners[id] = std::move(onFrame);
  return id;
}

void TVideoFrameSlot::Unsubscribe(int id) { m_listeners.erase(id); }

void TVideoFrameSlot::Announce()
{
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_news = false;
  }
  // A listener may unsubscribe while being told; iterate over a copy.
  const auto listeners = m_listeners;
  for (const auto &entry : listeners)
    if (entry.second) entry.second();
}

uint64_t TVideoFrameSlot::StoredCount() const
{
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_stored;
}

} // namespace kp
