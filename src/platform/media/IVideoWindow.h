#pragma once

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

class QWidget;

namespace vistrel::platform::media {

// Window styles the program hands to put_WindowStyle. Our video window is always a plain child
// of its owner: the styles are kept and reported, and no caption or border is ever drawn.
constexpr int32_t WS_CHILD = 0x40000000;
constexpr int32_t WS_CLIPCHILDREN = 0x02000000;
constexpr int32_t WS_CLIPSIBLINGS = 0x04000000;

// The video renderer's window: the renderer paints into a child widget of the owner.
// User-interface thread.
class IVideoWindow : public virtual Unknown {
 public:
  virtual HRESULT put_Owner(QWidget* owner) = 0;
  virtual HRESULT get_Owner(QWidget*& owner) = 0;
  virtual HRESULT put_WindowStyle(int32_t style) = 0;
  virtual HRESULT get_WindowStyle(int32_t& style) = 0;
  // Position within the owner, in its client coordinates.
  virtual HRESULT SetWindowPosition(int left, int top, int width, int height) = 0;
  virtual HRESULT GetWindowPosition(int& left, int& top, int& width, int& height) = 0;
  virtual HRESULT put_Visible(bool visible) = 0;
  virtual HRESULT get_Visible(bool& visible) = 0;
  // Mouse and keyboard events on the video go to the drain as well (null: to nobody).
  virtual HRESULT put_MessageDrain(QWidget* drain) = 0;
  virtual HRESULT get_MessageDrain(QWidget*& drain) = 0;
  // Only "off" is accepted: full screen is the plate window's business.
  virtual HRESULT put_FullScreenMode(bool on) = 0;
  virtual HRESULT get_FullScreenMode(bool& on) = 0;
};

}  // namespace vistrel::platform::media
