#pragma once
// Media helpers of the engine used across the program: type comparison, binding a component to
// a device of a category, compressor names, four-character codes, disk space and the countdown
// beeps. (The media framework's version text lives with the start-up code, app/MediaFrameworkVersion.)
// User-interface thread unless said.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "platform/media/FilterComponent.h"
#include "platform/media/MediaType.h"
#include "sources/Sources.h"

namespace vistrel::engine {

// Same major type, subtype and format type, same format size, and the same format bytes when
// there are any.
bool MediaTypesEqual(const platform::media::MediaType& a, const platform::media::MediaType& b);

// Binds `component` (taken out of its graph first) to the first device of `category` whose class
// id is `clsid` / whose friendly name is exactly `name`. False when none matches or the binding
// fails.
bool BindByClassId(platform::media::FilterComponent& component, const platform::media::GUID& category,
                   const platform::media::GUID& clsid);
bool BindByFriendlyName(platform::media::FilterComponent& component, const platform::media::GUID& category,
                        const QString& name);

// The friendly names of the video compressor category, in the enumerator's order.
QStringList VideoCompressorNames();

// The four-character code text (shared with the sources' stream descriptions).
using sources::FourCCText;

// The volume holding `folder`, in megabytes; zeros when it cannot be queried.
struct TDiskSpace {
  int64_t Total = 0;
  int64_t Used = 0;  // Total - Free
  int64_t Free = 0;  // free to the user
};
TDiskSpace DiskSpaceOf(const QString& folder);

// The countdown sounds: beep0 at zero, beep1 before. Asynchronous; silent without a sound output.
void PlayBeep0();
void PlayBeep1();
// The WAV bytes of the two sounds (PCM, mono, 8 bits, 11 025 Hz; 649 and 635 samples).
QByteArray BeepWave(int which);

}  // namespace vistrel::engine
