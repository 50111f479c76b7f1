#pragma once
// Frames as the overlay sees them (bottom-up 24-bit rows padded to 4 bytes) and a window that
// records the messages posted to it.

#include <QCoreApplication>
#include <QObject>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/OverlayPicture.h"
#include "platform/media/VideoInfoHeader.h"
#include "platform/ui/PostedMessages.h"

namespace vistrel::filters::testing {

// A frame of w × h whose pixel at (x, y from the top) is (b, g, r) of `colour(x, y)`.
template <class F>
std::vector<uint8_t> makeFrame(int w, int h, F colour) {
  std::vector<uint8_t> frame(static_cast<size_t>(OverlayRowBytes(w) * h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      uint8_t* p = frame.data() + OverlayRowBytes(w) * (h - 1 - y) + x * 3;
      p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF;
    }
  return frame;
}

inline std::vector<uint8_t> patternFrame(int w, int h) {
  return makeFrame(w, h,
                   [](int x, int y) { return static_cast<uint32_t>((x * 3) | (y << 9) | ((x + y) << 17)); });
}

inline uint32_t pixelAt(const std::vector<uint8_t>& frame, int w, int h, int x, int y) {
  const uint8_t* p = frame.data() + OverlayRowBytes(w) * (h - 1 - y) + x * 3;
  return p[0] | (p[1] << 8) | (p[2] << 16);
}

inline platform::media::BITMAPINFOHEADER rgbHeader(int w, int h) {
  platform::media::BITMAPINFOHEADER header;
  header.biWidth = w;
  header.biHeight = h;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<uint32_t>(OverlayRowBytes(w) * (h < 0 ? -h : h));
  return header;
}

struct Message {
  uint32_t id;
  intptr_t wParam, lParam;
  friend bool operator==(const Message&, const Message&) = default;
};

class MessageRecorder : public QObject {
 public:
  MessageRecorder() : handle_(platform::ui::registerWindow(this)) {}
  ~MessageRecorder() override { platform::ui::unregisterWindow(handle_); }
  platform::ui::WindowHandle handle() const { return handle_; }
  // Delivers what was posted and hands it over.
  std::vector<Message> take() {
    QCoreApplication::sendPostedEvents(this, platform::ui::WindowMessageEvent::eventType());
    std::vector<Message> out;
    out.swap(messages_);
    return out;
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == platform::ui::WindowMessageEvent::eventType()) {
      auto* m = static_cast<platform::ui::WindowMessageEvent*>(e);
      messages_.push_back({m->message(), m->wParam(), m->lParam()});
      return true;
    }
    return QObject::event(e);
  }

 private:
  platform::ui::WindowHandle handle_;
  std::vector<Message> messages_;
};

}  // namespace vistrel::filters::testing
