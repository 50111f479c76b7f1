#include "platform/devices/alsa/AlsaSeam.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vistrel::platform::devices::alsa {

namespace {
snd_pcm_format_t toAlsa(PcmSampleFormat f) {
  return f == PcmSampleFormat::U8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

struct Mixer {
  snd_mixer_t* mixer = nullptr;
};

snd_mixer_elem_t* findElement(snd_mixer_t* m, const AlsaMixerElement& e) {
  snd_mixer_selem_id_t* id;
  snd_mixer_selem_id_alloca(&id);
  snd_mixer_selem_id_set_name(id, e.name.c_str());
  snd_mixer_selem_id_set_index(id, e.index);
  return snd_mixer_find_selem(m, id);
}

// ALSA prints its own lines for every failed open (a machine without sound has many); the callers
// say once, in the program's words, what failed and why.
void quietAlsaLibrary(const char*, int, const char*, int, const char*, ...) {}

class SystemAlsa : public AlsaSeam {
 public:
  explicit SystemAlsa(snd_config_t* config = nullptr) : config_(config) {
    static const bool quiet = (snd_lib_error_set_handler(quietAlsaLibrary), true);
    (void)quiet;
  }
  ~SystemAlsa() override {
    if (config_) snd_config_delete(config_);
  }

  std::vector<AlsaCard> cards() override {
    std::vector<AlsaCard> out;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
      char* name = nullptr;
      AlsaCard c;
      c.index = card;
      // The card id is read from the control interface, as "hw:CARD=<id>" names use it.
      snd_ctl_t* ctl = nullptr;
      const std::string hw = "hw:" + std::to_string(card);
      if (snd_ctl_open(&ctl, hw.c_str(), SND_CTL_NONBLOCK) == 0) {
        snd_ctl_card_info_t* info;
        snd_ctl_card_info_alloca(&info);
        if (snd_ctl_card_info(ctl, info) == 0) {
          c.id = snd_ctl_card_info_get_id(info);
          c.name = snd_ctl_card_info_get_name(info);
        }
        snd_ctl_close(ctl);
      }
      if (c.name.empty() && snd_card_get_name(card, &name) == 0 && name) c.name = name;
      if (c.id.empty()) c.id = std::to_string(card);
      free(name);
      out.push_back(c);
    }
    return out;
  }

  std::vector<std::pair<int, std::string>> pcmDevices(int card, bool capture) override {
    std::vector<std::pair<int, std::string>> out;
    snd_ctl_t* ctl = nullptr;
    const std::string hw = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, hw.c_str(), SND_CTL_NONBLOCK) != 0) return out;
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
      snd_pcm_info_t* info;
      snd_pcm_info_alloca(&info);
      snd_pcm_info_set_device(info, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(info, 0);
      snd_pcm_info_set_stream(info, capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK);
      if (snd_ctl_pcm_info(ctl, info) != 0) continue;  // no substream in that direction
      out.emplace_back(device, snd_pcm_info_get_name(info));
    }
    snd_ctl_close(ctl);
    return out;
  }

  int mixerOpen(int card, Handle& handle) override {
    snd_mixer_t* m = nullptr;
    int r = snd_mixer_open(&m, 0);
    if (r < 0) return r;
    const std::string hw = "hw:" + std::to_string(card);
    if ((r = snd_mixer_attach(m, hw.c_str())) < 0 ||
        (r = snd_mixer_selem_register(m, nullptr, nullptr)) < 0 || (r = snd_mixer_load(m)) < 0) {
      snd_mixer_close(m);
      return r;
    }
    handle = m;
    return 0;
  }

  std::vector<AlsaMixerElement> mixerElements(Handle handle) override {
    std::vector<AlsaMixerFacts> all;
    auto* m = static_cast<snd_mixer_t*>(handle);
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e)) {
      AlsaMixerFacts x;
      x.name = snd_mixer_selem_get_name(e);
      x.index = snd_mixer_selem_get_index(e);
      x.active = snd_mixer_selem_is_active(e);
      x.captureSwitch = snd_mixer_selem_has_capture_switch(e);
      if (snd_mixer_selem_is_enum_capture(e)) {
        const int n = snd_mixer_selem_get_enum_items(e);
        for (int i = 0; i < n; ++i) {
          char name[64] = {};
          snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof name - 1, name);
          x.captureItems.emplace_back(name);
        }
      }
      all.push_back(std::move(x));
    }
    return captureSources(all);
  }
  int getCaptureSwitch(Handle h, const AlsaMixerElement& e, bool& on) override {
    snd_mixer_elem_t* el = findElement(static_cast<snd_mixer_t*>(h), e);
    if (!el) return -ENOENT;
    int v = 0;
    const int r = snd_mixer_selem_get_capture_switch(el, SND_MIXER_SCHN_FRONT_LEFT, &v);
    on = v != 0;
    return r;
  }
  int setCaptureSwitch(Handle h, const AlsaMixerElement& e, bool on) override {
    snd_mixer_elem_t* el = findElement(static_cast<snd_mixer_t*>(h), e);
    return el ? snd_mixer_selem_set_capture_switch_all(el, on ? 1 : 0) : -ENOENT;
  }
  int getCaptureItem(Handle h, const AlsaMixerElement& e, unsigned& item) override {
    snd_mixer_elem_t* el = findElement(static_cast<snd_mixer_t*>(h), e);
    return el ? snd_mixer_selem_get_enum_item(el, SND_MIXER_SCHN_FRONT_LEFT, &item) : -ENOENT;
  }
  int setCaptureItem(Handle h, const AlsaMixerElement& e, unsigned item) override {
    snd_mixer_elem_t* el = findElement(static_cast<snd_mixer_t*>(h), e);
    if (!el) return -ENOENT;
    int r = 0;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c)
      if (snd_mixer_selem_has_capture_channel(el, static_cast<snd_mixer_selem_channel_id_t>(c)))
        r = snd_mixer_selem_set_enum_item(el, static_cast<snd_mixer_selem_channel_id_t>(c), item);
    return r;
  }
  void mixerClose(Handle h) override { snd_mixer_close(static_cast<snd_mixer_t*>(h)); }

  int pcmOpen(const std::string& name, bool capture, Handle& handle) override {
    snd_pcm_t* pcm = nullptr;
    const auto stream = capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    const int r = config_ ? snd_pcm_open_lconf(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK, config_)
                          : snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (r < 0) return r;
    handle = pcm;
    return 0;
  }
  int pcmConfigure(Handle h, PcmSampleFormat format, unsigned channels, unsigned rate,
                   unsigned periodFrames) override {
    auto* pcm = static_cast<snd_pcm_t*>(h);
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int r;
    if ((r = snd_pcm_hw_params_any(pcm, hw)) < 0) return r;
    if ((r = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0) return r;
    if ((r = snd_pcm_hw_params_set_format(pcm, hw, toAlsa(format))) < 0) return r;
    if ((r = snd_pcm_hw_params_set_channels(pcm, hw, channels)) < 0) return r;
    unsigned actual = rate;
    if ((r = snd_pcm_hw_params_set_rate_near(pcm, hw, &actual, nullptr)) < 0) return r;
    if (actual != rate) return -EINVAL;  // the stream's type promises this rate
    snd_pcm_uframes_t period = periodFrames;
    snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
    snd_pcm_uframes_t buffer = period * 8;
    snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
    if ((r = snd_pcm_hw_params(pcm, hw)) < 0) return r;
    return snd_pcm_prepare(pcm);
  }
  bool pcmSupports(Handle h, PcmSampleFormat format, unsigned channels, unsigned rate) override {
    auto* pcm = static_cast<snd_pcm_t*>(h);
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm, hw) < 0) return false;
    return snd_pcm_hw_params_test_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) == 0 &&
           snd_pcm_hw_params_test_format(pcm, hw, toAlsa(format)) == 0 &&
           snd_pcm_hw_params_test_channels(pcm, hw, channels) == 0 &&
           snd_pcm_hw_params_test_rate(pcm, hw, rate, 0) == 0;
  }
  int pcmWait(Handle h, int timeoutMs) override {
    return snd_pcm_wait(static_cast<snd_pcm_t*>(h), timeoutMs);
  }
  long pcmRead(Handle h, void* buffer, unsigned long frames) override {
    return snd_pcm_readi(static_cast<snd_pcm_t*>(h), buffer, frames);
  }
  long pcmWrite(Handle h, const void* buffer, unsigned long frames) override {
    return snd_pcm_writei(static_cast<snd_pcm_t*>(h), buffer, frames);
  }
  int pcmRecover(Handle h, int error) override {
    return snd_pcm_recover(static_cast<snd_pcm_t*>(h), error, 1);
  }
  int pcmDrain(Handle h) override {
    auto* pcm = static_cast<snd_pcm_t*>(h);
    snd_pcm_nonblock(pcm, 0);
    return snd_pcm_drain(pcm);
  }
  void pcmClose(Handle h) override { snd_pcm_close(static_cast<snd_pcm_t*>(h)); }

 private:
  snd_config_t* config_;
};
}  // namespace

std::shared_ptr<AlsaSeam> AlsaSeam::system() {
  static const auto seam = std::make_shared<SystemAlsa>();
  return seam;
}

std::shared_ptr<AlsaSeam> AlsaSeam::withConfiguration(const std::string& text) {
  snd_config_t* config = nullptr;
  snd_input_t* in = nullptr;
  if (snd_config_top(&config) < 0) return nullptr;
  if (snd_input_buffer_open(&in, text.data(), static_cast<ssize_t>(text.size())) < 0) {
    snd_config_delete(config);
    return nullptr;
  }
  const int r = snd_config_load(config, in);
  snd_input_close(in);
  if (r < 0) {
    snd_config_delete(config);
    return nullptr;
  }
  return std::make_shared<SystemAlsa>(config);
}

std::vector<AlsaMixerElement> captureSources(const std::vector<AlsaMixerFacts>& elements) {
  std::vector<std::string> selectorItems;
  for (const auto& e : elements)
    if (e.active) selectorItems.insert(selectorItems.end(), e.captureItems.begin(), e.captureItems.end());
  std::vector<AlsaMixerElement> out;
  for (const auto& e : elements) {
    if (!e.active) continue;
    if (!e.captureItems.empty()) {
      out.push_back({e.name, e.index, false, e.captureItems});
      continue;
    }
    if (!e.captureSwitch || e.name == "Capture") continue;
    if (std::find(selectorItems.begin(), selectorItems.end(), e.name) != selectorItems.end()) continue;
    out.push_back({e.name, e.index, true, {}});
  }
  return out;
}

std::string describeAlsaError(int negativeErrno) {
  switch (-negativeErrno) {
    case EBUSY: return "device busy (another program is using it)";
    case EACCES:
    case EPERM: return "permission denied (is the user in the 'audio' group?)";
    case ENOENT:
    case ENODEV: return "device not present";
    default: return snd_strerror(negativeErrno);
  }
}

}  // namespace vistrel::platform::devices::alsa
