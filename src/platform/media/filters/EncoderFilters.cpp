#include "platform/media/filters/EncoderFilters.h"

#include "platform/media/filters/AsfWriter.h"

namespace vistrel::platform::media {

void registerEncoderFilters(FilterMapper& mapper) {
  const RegPinType pcm{MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
  const RegPinType anyVideo{MEDIATYPE_Video, GUID_NULL};
  mapper.RegisterFilter(
      {CLSID_WMAsfWriter,
       QStringLiteral("WM ASF Writer"),
       MERIT_DO_NOT_USE,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_INPUT, true, {pcm}, GUID_NULL}, {PINDIR_INPUT, true, {anyVideo}, GUID_NULL}},
       &AsfWriter::create});
}

}  // namespace vistrel::platform::media
