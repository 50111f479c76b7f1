#pragma once
// The sound cards of the machine as monikers of the audio input category: one per PCM device
// with a capture substream, friendly name "<card name>: <device name>" as mixers show it, bound
// through the card's stable id ("plughw:CARD=<id>,DEV=<n>") so that a card plugged back keeps
// its moniker. Filters bound to a card that disappears are told so (EC_DEVICE_LOST).
// User-interface thread.

#include <map>
#include <memory>
#include <vector>

#include "platform/devices/alsa/AlsaSeam.h"
#include "platform/media/IMoniker.h"

namespace vistrel::platform::devices::alsa {

class AlsaCaptureFilter;

struct AlsaCaptureDevice {
  AlsaCard card;
  int device = 0;
  std::string pcmName;
  std::string friendlyName() const { return card.name + ": " + pcmName; }
  std::string pcm() const { return "plughw:CARD=" + card.id + ",DEV=" + std::to_string(device); }
  std::string identity() const { return "@alsa:" + card.id + ":" + std::to_string(device); }
};

class AlsaDevices {
 public:
  explicit AlsaDevices(std::shared_ptr<AlsaSeam> seam);
  static AlsaDevices& system();

  std::vector<std::shared_ptr<media::IMoniker>> monikers(const media::GUID& category);
  bool rescan();
  const std::vector<AlsaCaptureDevice>& devices() const { return devices_; }

 private:
  struct Tracked;
  std::shared_ptr<AlsaSeam> seam_;
  bool scanned_ = false;
  std::vector<AlsaCaptureDevice> devices_;
  std::map<std::string, std::shared_ptr<Tracked>> tracked_;
};

}  // namespace vistrel::platform::devices::alsa
