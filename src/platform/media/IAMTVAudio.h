#pragma once
// The sound of a TV tuner: which of mono, stereo and the broadcast's languages is received.
// User-interface thread.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// TV audio modes (bits, AMTVAUDIO_MODE_*).
constexpr int32_t AMTVAUDIO_MODE_MONO = 0x0001;
constexpr int32_t AMTVAUDIO_MODE_STEREO = 0x0002;
constexpr int32_t AMTVAUDIO_MODE_LANG_A = 0x0010;
constexpr int32_t AMTVAUDIO_MODE_LANG_B = 0x0020;
constexpr int32_t AMTVAUDIO_MODE_LANG_C = 0x0040;

class IAMTVAudio : public virtual Unknown {
 public:
  // Every mode the hardware can receive.
  virtual HRESULT GetHardwareSupportedTVAudioModes(int32_t& modes) = 0;
  // The modes the current broadcast offers.
  virtual HRESULT GetAvailableTVAudioModes(int32_t& modes) = 0;
  virtual HRESULT get_TVAudioMode(int32_t& mode) = 0;
  // E_INVALIDARG for a mode the hardware does not support.
  virtual HRESULT put_TVAudioMode(int32_t mode) = 0;
};

}  // namespace vistrel::platform::media
