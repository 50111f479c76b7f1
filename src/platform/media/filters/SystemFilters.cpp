// The system filters the mapper knows from the start.
#include "platform/devices/alsa/AlsaAudioRenderer.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/filters/AcmWrapper.h"
#include "platform/media/filters/ColorSpaceConverter.h"
#include "platform/media/filters/DvAviFilters.h"
#include "platform/media/filters/EncoderFilters.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/MpegVideoDecoder.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/SampleGrabber.h"
#include "platform/media/filters/VideoRenderer.h"

namespace vistrel::platform::media {

void registerSystemFilters(FilterMapper& mapper) {
  const RegPinType any{GUID_NULL, GUID_NULL};
  mapper.RegisterFilter({CLSID_InfTee,
                         QStringLiteral("Infinite Pin Tee Filter"),
                         MERIT_DO_NOT_USE,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {any}, GUID_NULL}, {PINDIR_OUTPUT, false, {any}, GUID_NULL}},
                         &InfTee::create});
  mapper.RegisterFilter({CLSID_NullRenderer,
                         QStringLiteral("Null Renderer"),
                         MERIT_DO_NOT_USE,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, true, {any}, GUID_NULL}},
                         &NullRenderer::create});
  mapper.RegisterFilter({CLSID_SampleGrabber,
                         QStringLiteral("SampleGrabber"),
                         MERIT_DO_NOT_USE,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {any}, GUID_NULL}, {PINDIR_OUTPUT, false, {any}, GUID_NULL}},
                         &SampleGrabber::create});
  std::vector<RegPinType> capture;
  for (const GUID& sub : {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY,
                          MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12, MEDIASUBTYPE_NV12, MEDIASUBTYPE_MJPG})
    capture.push_back({MEDIATYPE_Video, sub});
  mapper.RegisterFilter({CLSID_Colour,
                         QStringLiteral("Color Space Converter"),
                         MERIT_UNLIKELY,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, capture, GUID_NULL},
                          {PINDIR_OUTPUT, false, {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}}, GUID_NULL}},
                         &ColorSpaceConverter::create});
  // Between PCM formats only, so intelligent connect inserts it for audio alone.
  mapper.RegisterFilter({CLSID_ACMWrapper,
                         QStringLiteral("ACM Wrapper"),
                         MERIT_NORMAL,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}, GUID_NULL},
                          {PINDIR_OUTPUT, false, {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}, GUID_NULL}},
                         &AcmWrapper::create});
  mapper.RegisterFilter({CLSID_FileWriter,
                         QStringLiteral("File writer"),
                         MERIT_DO_NOT_USE,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, true, {{MEDIATYPE_Stream, GUID_NULL}}, GUID_NULL}},
                         &FileWriter::create});
  // The default sound output plays through ALSA.
  mapper.RegisterFilter({CLSID_DSoundRender,
                         QStringLiteral("Default DirectSound Device"),
                         MERIT_PREFERRED,
                         CLSID_AudioRendererCategory,
                         {{PINDIR_INPUT, true, {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}, GUID_NULL}},
                         &devices::alsa::AlsaAudioRenderer::create});
  mapper.RegisterFilter({CLSID_VideoRenderer,
                         QStringLiteral("Video Renderer"),
                         MERIT_PREFERRED,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT,
                           true,
                           {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}, {MEDIATYPE_Video, MEDIASUBTYPE_RGB32}},
                           GUID_NULL}},
                         &VideoRenderer::create});
  registerDvAviFilters(mapper);
  registerEncoderFilters(mapper);
  registerMpegVideoDecoders(mapper);
}

}  // namespace vistrel::platform::media
