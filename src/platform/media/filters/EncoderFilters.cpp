#include "platform/media/filters/EncoderFilters.h"

#include "platform/media/MpegGuids.h"
#include "platform/media/filters/AsfWriter.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "platform/media/filters/Mpeg1AudioEncoder.h"
#include "platform/media/filters/Mpeg4Compressor.h"
#include "platform/media/filters/MpegMux.h"

namespace vistrel::platform::media {

void registerEncoderFilters(FilterMapper& mapper) {
  const RegPinType pcm{MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
  const RegPinType anyVideo{MEDIATYPE_Video, GUID_NULL};
  const std::vector<RegPinType> rawVideo{
      {MEDIATYPE_Video, MEDIASUBTYPE_RGB24}, {MEDIATYPE_Video, MEDIASUBTYPE_RGB32},
      {MEDIATYPE_Video, MEDIASUBTYPE_YUY2},  {MEDIATYPE_Video, MEDIASUBTYPE_UYVY},
      {MEDIATYPE_Video, MEDIASUBTYPE_I420},  {MEDIATYPE_Video, MEDIASUBTYPE_YV12},
      {MEDIATYPE_Video, MEDIASUBTYPE_NV12}};
  const std::vector<RegPinType> mpegAudio{{MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload},
                                          {MEDIATYPE_Audio, MEDIASUBTYPE_MP3}};
  // Encoders and writers are never inserted by intelligent connect: they are chosen by name, class
  // or an explicit mapper search (merit 0).
  const uint32_t merit = MERIT_DO_NOT_USE;

  mapper.RegisterFilter(
      {CLSID_WMAsfWriter,
       QStringLiteral("WM ASF Writer"),
       merit,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_INPUT, true, {pcm}, GUID_NULL}, {PINDIR_INPUT, true, {anyVideo}, GUID_NULL}},
       &AsfWriter::create});
  mapper.RegisterFilter(
      {CLSID_Mpeg4CompressorXvid,
       QString::fromUtf8(kMpeg4XvidName),
       merit,
       CLSID_VideoCompressorCategory,
       {{PINDIR_INPUT, false, rawVideo, GUID_NULL},
        {PINDIR_OUTPUT, false, {{MEDIATYPE_Video, fourccGuid(makeFourcc('X', 'V', 'I', 'D'))}}, GUID_NULL}},
       &Mpeg4Compressor::createXvid});
  mapper.RegisterFilter(
      {CLSID_Mpeg4CompressorDivx,
       QString::fromUtf8(kMpeg4DivxName),
       merit,
       CLSID_VideoCompressorCategory,
       {{PINDIR_INPUT, false, rawVideo, GUID_NULL},
        {PINDIR_OUTPUT, false, {{MEDIATYPE_Video, fourccGuid(makeFourcc('D', 'X', '5', '0'))}}, GUID_NULL}},
       &Mpeg4Compressor::createDivx});
  // The Layer II encoder comes first, so that a search for an MPEG audio encoder finds it; the MP3
  // encoder is listed by its MP3 output (it offers the MPEG-1 payload form only on request).
  mapper.RegisterFilter(
      {CLSID_Mpeg1AudioEncoder,
       QString::fromLatin1(kMpeg1AudioEncoderName),
       merit,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_INPUT, false, {pcm}, GUID_NULL},
        {PINDIR_OUTPUT, false, {{MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload}}, GUID_NULL}},
       &Mpeg1AudioEncoder::create});
  mapper.RegisterFilter({CLSID_LameMp3Encoder,
                         QString::fromLatin1(kLameEncoderName),
                         merit,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {pcm}, GUID_NULL},
                          {PINDIR_OUTPUT, false, {{MEDIATYPE_Audio, MEDIASUBTYPE_MP3}}, GUID_NULL}},
                         &Mp3EncoderFilter::create});
  mapper.RegisterFilter({CLSID_MpegProgramMux,
                         QString::fromLatin1(kMpegProgramMuxName),
                         merit,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_OUTPUT, false, {{MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM}}, GUID_NULL},
                          {PINDIR_INPUT, false, {{MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO}}, GUID_NULL},
                          {PINDIR_INPUT, false, mpegAudio, GUID_NULL}},
                         &MpegMux::createProgram});
  mapper.RegisterFilter(
      {CLSID_MpegSystemMux,
       QString::fromLatin1(kMpegSystemMuxName),
       merit,
       CLSID_LegacyAmFilterCategory,
       {{PINDIR_OUTPUT, false, {{MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1System}}, GUID_NULL},
        {PINDIR_INPUT,
         false,
         {{MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload}, {MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Video}},
         GUID_NULL},
        {PINDIR_INPUT, false, mpegAudio, GUID_NULL}},
       &MpegMux::createSystem});
  Mp3EncoderFilter::registerServer();
}

}  // namespace vistrel::platform::media
