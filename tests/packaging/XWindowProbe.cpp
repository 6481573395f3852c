#include "XWindowProbe.h"

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace kptest {

TXWindowProbe::TXWindowProbe()
{
  int screen = 0;
  xcb_connection_t *c = xcb_connect(nullptr, &screen);
  if (!c || xcb_connection_has_error(c)) {
    if (c) xcb_disconnect(c);
    return;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    xcb_disconnect(c);
    return;
  }
  FConnection = c;
  FRoot = it.data->root;
}

TXWindowProbe::~TXWindowProbe()
{
  if (FConnection) xcb_disconnect(FConnection);
}

uint32_t TXWindowProbe::Atom(const char *name)
{
  xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
      FConnection, xcb_intern_atom(FConnection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const uint32_t atom = reply->atom;
  std::free(reply);
  return atom;
}

QByteArray TXWindowProbe::Property(uint32_t window, uint32_t property, uint32_t type, uint32_t words)
{
  xcb_get_property_reply_t *reply =
      xcb_get_property_reply(FConnection, xcb_get_property(FConnection, 0, window, property, type, 0, words), nullptr);
  if (!reply) return {};
  const QByteArray value(static_cast<const char *>(xcb_get_property_value(reply)),
                         xcb_get_property_value_length(reply));
  std::free(reply);
  return value;
}

QList<TXWindow> TXWindowProbe::ShownWindowsOf(int64_t pid)
{
  QList<TXWindow> out;
  for (const TXWindow &w : ShownWindows())
    if (w.Pid == pid) out.append(w);
  return out;
}

QList<QImage> TXWindowProbe::Icons(uint32_t window)
{
  QList<QImage> out;
  if (!FConnection) return out;
  // Width, height, then the rows of 32-bit ARGB words; one picture after
  // another.
  const QByteArray data = Property(window, Atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 1u << 20);
  const qsizetype words = data.size() / 4;
  const auto word = [&](qsizetype i) {
    uint32_t v = 0;
    std::memcpy(&v, data.constData() + i * 4, 4);
    return v;
  };
  for (qsizetype i = 0; i + 2 <= words;) {
    const uint32_t width = word(i), height = word(i + 1);
    if (width == 0 || height == 0 || width > 1024 || height > 1024 || qsizetype(width) * height > words - i - 2) break;
    QImage image(int(width), int(height), QImage::Format_ARGB32);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) image.setPixel(int(x), int(y), word(i + 2 + y * width + x));
    out.append(image);
    i += 2 + qsizetype(width) * height;
  }
  return out;
}

QList<TXWindow> TXWindowProbe::ShownWindows()
{
  QList<TXWindow> out;
  if (!FConnection) return out;
  const uint32_t pidAtom = Atom("_NET_WM_PID");
  const uint32_t nameAtom = Atom("_NET_WM_NAME");
  const uint32_t utf8 = Atom("UTF8_STRING");
  xcb_query_tree_reply_t *tree = xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, FRoot), nullptr);
  if (!tree) return out;
  const xcb_window_t *children = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    const QByteArray owner = Property(children[i], pidAtom, XCB_ATOM_CARDINAL);
    if (owner.size() != 4) continue;
    uint32_t ownerPid = 0;
    std::memcpy(&ownerPid, owner.constData(), 4);
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(FConnection, xcb_get_window_attributes(FConnection, children[i]), nullptr);
    const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    if (shown) out.append({children[i], QString::fromUtf8(Property(children[i], nameAtom, utf8)), ownerPid});
  }
  std::free(tree);
  return out;
}

void TXWindowProbe::RequestClose(uint32_t window)
{
  if (!FConnection) return;
  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = Atom("WM_PROTOCOLS");
  event.data.data32[0] = Atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(FConnection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
  xcb_flush(FConnection);
}

} // namespace kptest
