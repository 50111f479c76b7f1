#pragma once
// The driver's own dialogs of a capture card: video source, video format and video display.
// HasDialog is S_OK when the dialog exists and S_FALSE when not; ShowDialog shows it modally
// (VFW_E_NOT_STOPPED while the graph runs, since a dialog may change the format).
// User-interface thread.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

class QWidget;

namespace vistrel::platform::media {

enum VfwCaptureDialogs {
  VfwCaptureDialog_Source = 0x01,
  VfwCaptureDialog_Format = 0x02,
  VfwCaptureDialog_Display = 0x04,
};

class IAMVfwCaptureDialogs : public virtual Unknown {
 public:
  virtual HRESULT HasDialog(int dialog) = 0;
  virtual HRESULT ShowDialog(int dialog, QWidget* parent) = 0;
  virtual HRESULT SendDriverMessage(int dialog, int message, intptr_t param1, intptr_t param2) = 0;
};

}  // namespace vistrel::platform::media
