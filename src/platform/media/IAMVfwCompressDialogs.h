#pragma once
// The dialogs of a video compressor: configuration and about boxes, and its settings as an
// opaque state block. ShowDialog answers the Query* requests with S_OK when the dialog exists,
// S_FALSE when it does not; the real requests show the dialog modally. The dialogs are offered
// only while the compressor is in a graph (VFW_E_NOT_IN_GRAPH otherwise). User-interface thread.

#include <cstdint>
#include <vector>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

class QWidget;

namespace vistrel::platform::media {

enum VfwCompressDialogs {
  VfwCompressDialog_Config = 0x01,
  VfwCompressDialog_About = 0x02,
  VfwCompressDialog_QueryConfig = 0x04,
  VfwCompressDialog_QueryAbout = 0x08,
};

class IAMVfwCompressDialogs : public virtual Unknown {
 public:
  virtual HRESULT ShowDialog(int dialog, QWidget* parent) = 0;
  virtual HRESULT GetState(std::vector<uint8_t>& state) = 0;
  // E_INVALIDARG for a block that is not one of this compressor's states.
  virtual HRESULT SetState(const std::vector<uint8_t>& state) = 0;
  virtual HRESULT SendDriverMessage(int message, intptr_t param1, intptr_t param2) = 0;
};

}  // namespace vistrel::platform::media
