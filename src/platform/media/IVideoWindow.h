#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

class QWidget;

namespace vistrel::platform::media {

// The video renderer's window: the renderer paints into a child widget of the owner.
class IVideoWindow : public virtual Unknown {
 public:
  virtual HRESULT put_Owner(QWidget* owner) = 0;
  virtual HRESULT get_Owner(QWidget*& owner) = 0;
  virtual HRESULT SetWindowPosition(int left, int top, int width, int height) = 0;
  virtual HRESULT put_Visible(bool visible) = 0;
  virtual HRESULT get_Visible(bool& visible) = 0;
};

}  // namespace vistrel::platform::media
