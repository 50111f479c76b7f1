#pragma once
// The virtual device set file that VISTREL_DEVICES names. One device per line:
//   camera <friendly name>        a test-pattern camera
//   microphone <friendly name>    a tone microphone
//   dvcam <friendly name> [; option ...]
//                                 a DV deck or camcorder (video input category; its output is
//                                 interleaved DV). Options, separated by ";":
//                                   pal | ntsc            video system of a generated tape (pal)
//                                   vcr | camera          a deck (ED_DEVTYPE_VCR, the default) or a
//                                                         camcorder in camera mode: live frames
//                                   stopped               the transport starts stopped (else playing)
//                                   file=<path>           the tape is this raw DV file (a file that
//                                                         is not DV is refused)
//                                   frames=<n>            length of a generated tape (1500)
//                                   audio=48000|44100|32000|0, silent   its sound (48000)
//                                   12bit                 12-bit sound (with audio=32000)
//                                   date=<ISO date-time>  recording date of its first frame
//                                   break=<frame>[+<s>]   recording break: the date jumps <s>
//                                                         seconds (3600) from that frame on
//                                   undated=<frame>+<n>   <n> frames without a recording date
//                                   wide=<frame>[+<n>]    16:9 from that frame (for <n> frames)
//   tvcard <friendly name> [; option ...]
//                                 an analogue capture card (video input category) with its
//                                 crossbar (crossbar category) and TV tuner. Options:
//                                   sound                 an audio output pin on the capture filter
//                                   chain                 a second crossbar upstream of the first
//   mpegcard <friendly name> [; aspect=<x>:<y>]
//                                 a card delivering MPEG-2 video (aspect 4:3 by default; 0:0 for
//                                 a card that leaves the picture aspect fields empty)
//   mpegencoder <friendly name>   a hardware MPEG encoder with byte-stream outputs only
// Blank lines and lines starting with "#" are comments; a line with an unknown kind or no name
// is ignored. The names of camera and microphone lines are the whole rest of the line. Two lines
// with the same name are two devices (two monikers, not equal).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace vistrel::platform::devices {

enum class VirtualDeviceKind { Camera, Microphone, DvCamera, TvCard, MpegCard, MpegEncoder };

struct VirtualDeviceEntry {
  VirtualDeviceKind kind;
  QString name;
  QStringList options;  // trimmed, none empty
  friend bool operator==(const VirtualDeviceEntry&, const VirtualDeviceEntry&) = default;
};

std::vector<VirtualDeviceEntry> parseVirtualDeviceFile(const QByteArray& text);

// The keyword of a kind as the file writes it.
QString virtualDeviceKeyword(VirtualDeviceKind kind);

}  // namespace vistrel::platform::devices
