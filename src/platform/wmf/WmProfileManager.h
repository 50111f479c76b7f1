#pragma once
// The Windows Media profile manager: the system profiles of versions 4.0, 7.0 and 8.0 (our own
// table, in a fixed order per version), the four preset profiles that load by identifier
// whatever version is set, and empty profiles. Version 4.0 profiles use MPEG-4 v3 video and
// Windows Media Audio 1, version 7.0 Windows Media Video 7 and Audio 2, version 8.0 Windows Media
// Video 8 and Audio 2. User-interface thread.

#include <memory>

#include "platform/wmf/WmProfile.h"

namespace vistrel::platform::wmf {

// The presets, by the position of "High", "Medium", "Low", "Internet".
constexpr GUID WMProfile_Preset_High = media::makeGuid("{0B89164A-5490-4686-9E37-5A80884E5146}");
constexpr GUID WMProfile_Preset_Medium = media::makeGuid("{EC298949-639B-45E2-96FD-4AB32D5919C2}");
constexpr GUID WMProfile_Preset_Low = media::makeGuid("{29B00C2B-09A9-48BD-AD09-CDAE117D1DA7}");
constexpr GUID WMProfile_Preset_Internet = media::makeGuid("{A2E300B4-C2D4-4FC0-B5DD-ECBD948DC0DF}");

class IWMProfileManager : public virtual media::Unknown {
 public:
  virtual HRESULT CreateEmptyProfile(WMT_VERSION version, std::shared_ptr<IWMProfile>& profile) = 0;
  // A preset or any system profile of any version; NS_E_NOT_FOUND for an unknown identifier.
  virtual HRESULT LoadProfileByID(const GUID& id, std::shared_ptr<IWMProfile>& profile) = 0;
  virtual HRESULT GetSystemProfileVersion(WMT_VERSION& version) = 0;
  // E_INVALIDARG for a version without system profiles (the current one stays).
  virtual HRESULT SetSystemProfileVersion(WMT_VERSION version) = 0;
  virtual HRESULT GetSystemProfileCount(uint32_t& count) = 0;
  // A new copy of system profile `index` of the current version; E_INVALIDARG past the end.
  virtual HRESULT LoadSystemProfile(uint32_t index, std::shared_ptr<IWMProfile>& profile) = 0;
};

// Creates a profile manager (version 8.0 selected). Always succeeds here: the runtime is ours.
HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>& manager);

// The table behind the manager, for tools and tests.
struct SystemProfileEntry {
  GUID id;
  const char* name;  // UTF-8
  std::vector<WmStreamDesc> streams;
};
const std::vector<SystemProfileEntry>& systemProfiles(WMT_VERSION version);
const std::vector<SystemProfileEntry>& presetProfiles();

}  // namespace vistrel::platform::wmf
