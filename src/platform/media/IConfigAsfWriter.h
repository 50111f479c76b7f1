#pragma once
// Configuration of the Windows Media ASF writer by a profile. User-interface thread, with the
// graph stopped.

#include <memory>

#include "platform/media/Guid.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"
#include "platform/wmf/WmProfile.h"

namespace vistrel::platform::media {

class IConfigAsfWriter : public virtual Unknown {
 public:
  // Takes the profile's first video and first audio stream. The writer's pins stay as they are
  // (they may be connected already): a pin whose stream the profile lacks is left unused.
  // E_INVALIDARG for a profile whose streams cannot be encoded (picture size, rate, bit rate),
  // VFW_E_NOT_STOPPED while running; the previous configuration then stays.
  virtual HRESULT ConfigureFilterUsingProfile(const std::shared_ptr<wmf::IWMProfile>& profile) = 0;
  // The same with a profile loaded by its identifier.
  virtual HRESULT ConfigureFilterUsingProfileGuid(const GUID& profileId) = 0;
  virtual HRESULT GetCurrentProfileGuid(GUID& profileId) = 0;
  virtual HRESULT GetCurrentProfile(std::shared_ptr<wmf::IWMProfile>& profile) = 0;
  // Whether the file gets a seek index (on by default).
  virtual HRESULT SetIndexMode(bool index) = 0;
  virtual HRESULT GetIndexMode(bool& index) = 0;
};

}  // namespace vistrel::platform::media
