#include "engine/DirectShowUtils.h"

#include <QVariant>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "platform/media/SystemDeviceEnum.h"
#include "platform/shell/DiskSpace.h"
#include "platform/shell/SoundPlayer.h"

namespace vistrel::engine {

using namespace platform::media;

bool MediaTypesEqual(const MediaType& a, const MediaType& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) return false;
  if (a.cbFormat() != b.cbFormat()) return false;
  return a.cbFormat() == 0 || std::memcmp(a.pbFormat(), b.pbFormat(), a.cbFormat()) == 0;
}

namespace {

template <class Match>
bool bindFirst(FilterComponent& component, const GUID& category, Match match) {
  try {
    component.setGraph(nullptr);
    for (const auto& moniker : SystemDeviceEnum::create()->monikers(category)) {
      if (match(*moniker)) return SUCCEEDED(component.bindMoniker(moniker));
    }
  } catch (const std::exception&) {
  }
  return false;
}

QString readString(IMoniker& moniker, const QString& property) {
  QVariant value;
  if (FAILED(moniker.Read(property, value))) return {};
  return value.toString();
}

}  // namespace

bool BindByClassId(FilterComponent& component, const GUID& category, const GUID& clsid) {
  return bindFirst(component, category, [&](IMoniker& m) {
    GUID id;
    return GUID::fromString(readString(m, QStringLiteral("CLSID")), id) && id == clsid;
  });
}

bool BindByFriendlyName(FilterComponent& component, const GUID& category, const QString& name) {
  return bindFirst(component, category,
                   [&](IMoniker& m) { return readString(m, QStringLiteral("FriendlyName")) == name; });
}

QStringList VideoCompressorNames() {
  QStringList names;
  try {
    for (const auto& moniker : SystemDeviceEnum::create()->monikers(CLSID_VideoCompressorCategory))
      names << readString(*moniker, QStringLiteral("FriendlyName"));
  } catch (const std::exception&) {
  }
  return names;
}

TDiskSpace DiskSpaceOf(const QString& folder) {
  const auto space = platform::shell::diskSpace(folder);
  return TDiskSpace{space.totalMiB, space.totalMiB - space.freeMiB, space.freeMiB};
}

QByteArray BeepWave(int which) {
  // A short tone with a soft end so that it does not click: beep0 lower and longer than beep1.
  const int samples = which == 0 ? 649 : 635;
  const double frequency = which == 0 ? 880.0 : 1320.0;
  const int rate = 11025;
  QByteArray wav(44 + samples, '\0');
  auto* p = reinterpret_cast<uchar*>(wav.data());
  auto put32 = [&](int at, uint32_t v) { qToLittleEndian<uint32_t>(v, p + at); };
  auto put16 = [&](int at, uint16_t v) { qToLittleEndian<uint16_t>(v, p + at); };
  std::memcpy(p, "RIFF", 4);
  put32(4, uint32_t(36 + samples));
  std::memcpy(p + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);  // PCM
  put16(22, 1);  // mono
  put32(24, rate);
  put32(28, rate);  // bytes per second at one byte per sample
  put16(32, 1);
  put16(34, 8);
  std::memcpy(p + 36, "data", 4);
  put32(40, uint32_t(samples));
  for (int i = 0; i < samples; ++i) {
    const double fade = std::min(1.0, double(samples - i) / 100.0);
    const double v = std::sin(2 * M_PI * frequency * i / rate) * 90.0 * fade;
    p[44 + i] = uchar(128 + std::lround(v));
  }
  return wav;
}

void PlayBeep0() { platform::shell::SoundPlayer::shared().play(BeepWave(0)); }
void PlayBeep1() { platform::shell::SoundPlayer::shared().play(BeepWave(1)); }

}  // namespace vistrel::engine
