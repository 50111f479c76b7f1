#include "platform/wmf/WmProfileManager.h"

namespace vistrel::platform::wmf {

using namespace media;

namespace {

constexpr REFERENCE_TIME fps(int n) { return (UNITS + n / 2) / n; }

WmStreamDesc video(GUID codec, uint32_t kbps, int w, int h, int rate) {
  WmStreamDesc d;
  d.type = MEDIATYPE_Video;
  d.codec = codec;
  d.bitrate = kbps * 1000;
  d.width = w;
  d.height = h;
  d.timePerFrame = fps(rate);
  return d;
}

WmStreamDesc audio(GUID codec, uint32_t kbps, uint32_t rate, uint16_t channels) {
  WmStreamDesc d;
  d.type = MEDIATYPE_Audio;
  d.codec = codec;
  d.bitrate = kbps * 1000;
  d.sampleRate = rate;
  d.channels = channels;
  return d;
}

// Identifiers of the system profiles: one family, the version and position in the low word.
constexpr GUID systemId(uint32_t version, uint32_t index) {
  return GUID{0x7E5A0000u | (version >> 16) << 8 | index,
              0x3D1B,
              0x4A6F,
              {0x9C, 0x21, 0x5B, 0x7E, 0x0D, 0x4F, 0x11, 0xA8}};
}

std::vector<SystemProfileEntry> version4() {
  const GUID v = WMMEDIASUBTYPE_MP43, a = WMMEDIASUBTYPE_WMAudioV1;
  uint32_t i = 0;
  auto id = [&] { return systemId(WMT_VER_4_0, i++); };
  return {
      {id(), "Vidéo pour modems (28,8 Kbit/s)", {video(v, 22, 160, 120, 10)}},
      {id(), "Vidéo pour modems (56 Kbit/s)", {audio(a, 24, 22050, 1), video(v, 28, 176, 144, 15)}},
      {id(),
       "Vidéo pour RNIS simple canal (64 Kbit/s)",
       {audio(a, 24, 22050, 1), video(v, 36, 176, 144, 15)}},
      {id(),
       "Vidéo pour RNIS double canal (128 Kbit/s)",
       {audio(a, 32, 22050, 2), video(v, 92, 240, 176, 15)}},
      {id(), "Vidéo pour réseau local (300 Kbit/s)", {audio(a, 32, 44100, 2), video(v, 264, 320, 240, 25)}},
      {id(), "Vidéo pour réseau local (768 Kbit/s)", {audio(a, 64, 44100, 2), video(v, 700, 640, 480, 25)}},
      {id(), "Audio qualité radio FM (28,8 Kbit/s)", {audio(a, 24, 22050, 1)}},
      {id(), "Audio qualité CD (64 Kbit/s)", {audio(a, 64, 44100, 2)}},
  };
}

std::vector<SystemProfileEntry> version7() {
  const GUID v = WMMEDIASUBTYPE_WMV1, a = WMMEDIASUBTYPE_WMAudioV2;
  uint32_t i = 0;
  auto id = [&] { return systemId(WMT_VER_7_0, i++); };
  return {
      {id(), "Vidéo pour modems (28,8 Kbit/s)", {video(v, 22, 160, 120, 10)}},
      {id(), "Vidéo pour modems (56 Kbit/s)", {audio(a, 24, 22050, 1), video(v, 28, 176, 144, 15)}},
      {id(), "Vidéo pour RNIS (100 Kbit/s)", {audio(a, 32, 22050, 1), video(v, 64, 240, 176, 15)}},
      {id(),
       "Vidéo pour réseau local, câble ou ADSL (250 Kbit/s)",
       {audio(a, 32, 44100, 2), video(v, 214, 320, 240, 25)}},
      {id(), "Vidéo pour réseau local (750 Kbit/s)", {audio(a, 64, 44100, 2), video(v, 682, 640, 480, 25)}},
      {id(),
       "Vidéo pour réseau local (1500 Kbit/s)",
       {audio(a, 128, 44100, 2), video(v, 1368, 640, 480, 30)}},
      {id(), "Audio pour modems (28,8 Kbit/s)", {audio(a, 24, 22050, 1)}},
      {id(), "Audio qualité CD (96 Kbit/s)", {audio(a, 96, 44100, 2)}},
  };
}

std::vector<SystemProfileEntry> version8() {
  const GUID v = WMMEDIASUBTYPE_WMV2, a = WMMEDIASUBTYPE_WMAudioV2;
  uint32_t i = 0;
  auto id = [&] { return systemId(WMT_VER_8_0, i++); };
  return {
      {id(), "Vidéo pour modems (56 Kbit/s)", {audio(a, 24, 22050, 1), video(v, 30, 176, 144, 15)}},
      {id(),
       "Vidéo pour appareils de poche (150 Kbit/s)",
       {audio(a, 32, 22050, 2), video(v, 116, 208, 160, 15)}},
      {id(),
       "Vidéo pour RNIS double canal (128 Kbit/s)",
       {audio(a, 32, 22050, 2), video(v, 94, 240, 176, 15)}},
      {id(),
       "Vidéo pour réseau local, câble ou ADSL (256 Kbit/s)",
       {audio(a, 32, 44100, 2), video(v, 222, 320, 240, 25)}},
      {id(),
       "Vidéo pour réseau local, câble ou ADSL (384 Kbit/s)",
       {audio(a, 64, 44100, 2), video(v, 318, 320, 240, 25)}},
      {id(), "Vidéo pour réseau local (768 Kbit/s)", {audio(a, 64, 44100, 2), video(v, 702, 640, 480, 25)}},
      {id(),
       "Vidéo pour réseau local (1500 Kbit/s)",
       {audio(a, 128, 44100, 2), video(v, 1370, 640, 480, 25)}},
      {id(), "Vidéo PAL pleine image (4000 Kbit/s)", {audio(a, 128, 48000, 2), video(v, 3870, 720, 576, 25)}},
      {id(), "Audio pour modems (32 Kbit/s)", {audio(a, 32, 22050, 2)}},
      {id(), "Audio qualité FM (64 Kbit/s)", {audio(a, 64, 44100, 2)}},
      {id(), "Audio qualité CD (128 Kbit/s)", {audio(a, 128, 44100, 2)}},
  };
}

std::vector<SystemProfileEntry> presets() {
  const GUID v = WMMEDIASUBTYPE_WMV2, a = WMMEDIASUBTYPE_WMAudioV2;
  return {
      {WMProfile_Preset_High,
       "Vidéo haute qualité (1500 Kbit/s)",
       {audio(a, 128, 44100, 2), video(v, 1370, 640, 480, 25)}},
      {WMProfile_Preset_Medium,
       "Vidéo qualité moyenne (768 Kbit/s)",
       {audio(a, 64, 44100, 2), video(v, 702, 320, 240, 25)}},
      {WMProfile_Preset_Low,
       "Vidéo basse qualité (256 Kbit/s)",
       {audio(a, 32, 22050, 2), video(v, 222, 320, 240, 15)}},
      {WMProfile_Preset_Internet,
       "Vidéo pour Internet (100 Kbit/s)",
       {audio(a, 32, 22050, 1), video(v, 66, 176, 144, 15)}},
  };
}

std::shared_ptr<IWMProfile> build(WMT_VERSION version, const SystemProfileEntry& e) {
  return createProfile(version, QString::fromUtf8(e.name), e.id, e.streams);
}

class ProfileManager : public IWMProfileManager {
 public:
  HRESULT CreateEmptyProfile(WMT_VERSION version, std::shared_ptr<IWMProfile>& profile) override {
    profile = createProfile(version, QString(), GUID_NULL, {});
    return S_OK;
  }
  HRESULT LoadProfileByID(const GUID& id, std::shared_ptr<IWMProfile>& profile) override {
    profile.reset();
    for (const auto& e : presetProfiles())
      if (e.id == id) return profile = build(WMT_VER_8_0, e), S_OK;
    for (WMT_VERSION v : {WMT_VER_4_0, WMT_VER_7_0, WMT_VER_8_0})
      for (const auto& e : systemProfiles(v))
        if (e.id == id) return profile = build(v, e), S_OK;
    return NS_E_NOT_FOUND;
  }
  HRESULT GetSystemProfileVersion(WMT_VERSION& version) override {
    version = version_;
    return S_OK;
  }
  HRESULT SetSystemProfileVersion(WMT_VERSION version) override {
    if (systemProfiles(version).empty()) return E_INVALIDARG;
    version_ = version;
    return S_OK;
  }
  HRESULT GetSystemProfileCount(uint32_t& count) override {
    count = static_cast<uint32_t>(systemProfiles(version_).size());
    return S_OK;
  }
  HRESULT LoadSystemProfile(uint32_t index, std::shared_ptr<IWMProfile>& profile) override {
    profile.reset();
    const auto& table = systemProfiles(version_);
    if (index >= table.size()) return E_INVALIDARG;
    profile = build(version_, table[index]);
    return S_OK;
  }

 private:
  WMT_VERSION version_ = WMT_VER_8_0;
};

}  // namespace

const std::vector<SystemProfileEntry>& systemProfiles(WMT_VERSION version) {
  static const std::vector<SystemProfileEntry> v4 = version4(), v7 = version7(), v8 = version8(), none;
  switch (version) {
    case WMT_VER_4_0: return v4;
    case WMT_VER_7_0: return v7;
    case WMT_VER_8_0: return v8;
    default: return none;
  }
}

const std::vector<SystemProfileEntry>& presetProfiles() {
  static const std::vector<SystemProfileEntry> table = presets();
  return table;
}

HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>& manager) {
  manager = std::make_shared<ProfileManager>();
  return S_OK;
}

}  // namespace vistrel::platform::wmf
