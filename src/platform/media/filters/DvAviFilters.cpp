#include "platform/media/filters/DvAviFilters.h"

#include "platform/media/filters/AviMux.h"
#include "platform/media/filters/DvMuxer.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/media/filters/DvVideoDecoder.h"
#include "platform/media/filters/DvVideoEncoder.h"

namespace vistrel::platform::media {

void registerDvAviFilters(FilterMapper& mapper) {
  const RegPinType rgb{MEDIATYPE_Video, MEDIASUBTYPE_RGB24};
  const RegPinType dvsd{MEDIATYPE_Video, MEDIASUBTYPE_dvsd};
  const RegPinType interleaved{MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd};
  const RegPinType pcm{MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
  mapper.RegisterFilter({CLSID_DVVideoEnc,
                         QStringLiteral("DV Video Encoder"),
                         MERIT_DO_NOT_USE,
                         CLSID_VideoCompressorCategory,
                         {{PINDIR_INPUT, false, {rgb}, GUID_NULL}, {PINDIR_OUTPUT, false, {dvsd}, GUID_NULL}},
                         &DvVideoEncoder::create});
  // The decoder is the one intelligent connect inserts to show a DV stream.
  mapper.RegisterFilter({CLSID_DVVideoCodec,
                         QStringLiteral("DV Video Decoder"),
                         MERIT_PREFERRED,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {dvsd}, GUID_NULL}, {PINDIR_OUTPUT, false, {rgb}, GUID_NULL}},
                         &DvVideoDecoder::create});
  mapper.RegisterFilter(
      {CLSID_DVSplitter,
       QStringLiteral("DV Splitter"),
       MERIT_NORMAL,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_INPUT, false, {interleaved}, GUID_NULL}, {PINDIR_OUTPUT, false, {dvsd, pcm}, GUID_NULL}},
       &DvSplitter::create});
  mapper.RegisterFilter(
      {CLSID_DVMux,
       QStringLiteral("DV Muxer"),
       MERIT_DO_NOT_USE,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_INPUT, false, {dvsd, pcm}, GUID_NULL}, {PINDIR_OUTPUT, false, {interleaved}, GUID_NULL}},
       &DvMuxer::create});
  mapper.RegisterFilter({CLSID_AviDest,
                         QStringLiteral("AVI Mux"),
                         MERIT_DO_NOT_USE,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {{GUID_NULL, GUID_NULL}}, GUID_NULL},
                          {PINDIR_OUTPUT, false, {{MEDIATYPE_Stream, MEDIASUBTYPE_Avi}}, GUID_NULL}},
                         &AviMux::create});
}

}  // namespace vistrel::platform::media
