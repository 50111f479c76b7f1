#pragma once
// The thin seam between the ALSA backend and libasound: the calls the backend makes (cards and
// their PCM devices, the mixer's capture sources, PCM capture and playback), with errors as
// negative errno values as ALSA returns them. The system implementation calls libasound; tests
// replay a sound card's answers for enumeration and mixer, and can still run the PCM calls for
// real against ALSA's null and file plugins through a configuration of their own.
// PCM calls on one handle come from one thread at a time; the rest is user-interface thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::platform::devices::alsa {

struct AlsaCard {
  int index = -1;
  std::string id;    // "PCH", stable across reboots and replugging
  std::string name;  // "HDA Intel PCH"
};

struct AlsaMixerElement {
  std::string name;  // "Line", "Mic", "CD", or "Capture Source" / "Input Source"
  unsigned index = 0;
  bool captureSwitch = false;             // a switch that puts this source on the capture (the
                                          // others are switched off by us when not exclusive)
  std::vector<std::string> captureItems;  // an enumerated capture-source selector's items
};

// What the mixer says of one of its simple elements.
struct AlsaMixerFacts {
  std::string name;
  unsigned index = 0;
  bool active = true;
  bool captureSwitch = false;             // has a capture switch (exclusive or not)
  std::vector<std::string> captureItems;  // an enumerated capture-source selector's items
};

// The capture sources among a mixer's elements, in mixer order: every enumerated capture
// selector, and every element with a capture switch, exclusive or not, except the master
// "Capture" switch (which mutes the whole capture) and switches that repeat an item of a
// selector of the same card. Inactive elements are left out.
std::vector<AlsaMixerElement> captureSources(const std::vector<AlsaMixerFacts>& elements);

enum class PcmSampleFormat { U8, S16_LE };

class AlsaSeam {
 public:
  virtual ~AlsaSeam() = default;
  using Handle = void*;

  virtual std::vector<AlsaCard> cards() = 0;
  // The PCM devices of a card that have a capture (or playback) substream, with their names.
  virtual std::vector<std::pair<int, std::string>> pcmDevices(int card, bool capture) = 0;

  virtual int mixerOpen(int card, Handle& mixer) = 0;
  virtual std::vector<AlsaMixerElement> mixerElements(Handle mixer) = 0;
  virtual int getCaptureSwitch(Handle mixer, const AlsaMixerElement& e, bool& on) = 0;
  virtual int setCaptureSwitch(Handle mixer, const AlsaMixerElement& e, bool on) = 0;
  virtual int getCaptureItem(Handle mixer, const AlsaMixerElement& e, unsigned& item) = 0;
  virtual int setCaptureItem(Handle mixer, const AlsaMixerElement& e, unsigned item) = 0;
  virtual void mixerClose(Handle mixer) = 0;

  // Opens a PCM by name ("plughw:CARD=PCH,DEV=0", "default") without blocking on a busy device.
  virtual int pcmOpen(const std::string& name, bool capture, Handle& pcm) = 0;
  // Sets interleaved access, format, channels, rate and a period near `periodFrames`.
  virtual int pcmConfigure(Handle pcm, PcmSampleFormat format, unsigned channels, unsigned rate,
                           unsigned periodFrames) = 0;
  // Whether the device takes that format, without configuring it.
  virtual bool pcmSupports(Handle pcm, PcmSampleFormat format, unsigned channels, unsigned rate) = 0;
  // Waits at most `timeoutMs` for the device to be ready: 1 ready, 0 timeout, -errno.
  virtual int pcmWait(Handle pcm, int timeoutMs) = 0;
  // Frames read or written (non-blocking), or -errno (-EAGAIN, -EPIPE on overrun/underrun).
  virtual long pcmRead(Handle pcm, void* buffer, unsigned long frames) = 0;
  virtual long pcmWrite(Handle pcm, const void* buffer, unsigned long frames) = 0;
  // After -EPIPE or -ESTRPIPE: 0 when the stream runs again.
  virtual int pcmRecover(Handle pcm, int error) = 0;
  virtual int pcmDrain(Handle pcm) = 0;
  virtual void pcmClose(Handle pcm) = 0;

  // libasound itself; with `configText`, PCM names are looked up in that configuration only
  // (tests use it to reach the null and file plugins).
  static std::shared_ptr<AlsaSeam> system();
  static std::shared_ptr<AlsaSeam> withConfiguration(const std::string& configText);
};

std::string describeAlsaError(int negativeErrno);

}  // namespace vistrel::platform::devices::alsa
