#pragma once

#include "platform/media/GraphEvent.h"
#include "platform/media/Result.h"
#include "platform/ui/PostedMessages.h"

namespace vistrel::platform::media {

class IMediaEventEx : public virtual Unknown {
 public:
  // Takes the oldest pending event: E_ABORT-like VFW_E_TIMEOUT when none arrives within the time.
  virtual HRESULT GetEvent(GraphEvent& event, int32_t timeoutMs) = 0;
  virtual HRESULT FreeEventParams(GraphEvent& event) = 0;
  // Each new event posts `message` (wParam 0, lParam `instance`) to the window, which drains the
  // queue on its own thread. Window 0 stops the notifications.
  virtual HRESULT SetNotifyWindow(ui::WindowHandle window, uint32_t message, intptr_t instance) = 0;
};

}  // namespace vistrel::platform::media
