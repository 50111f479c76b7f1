#include "engine/Record.h"

#include <QLoggingCategory>

#include "engine/DirectShowUtils.h"
#include "engine/Tdm.h"
#include "filters/TVT_Resizer.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_DVheader.h"
#include "filters/Tvt_SceneDetect.h"
#include "filters/Tvt_TimeStamper.h"
#include "filters/Tvt_WaveDest.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IConfigAsfWriter.h"
#include "platform/media/IConfigInterleaving.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "platform/wmf/WmProfile.h"
#include "platform/wmf/WmProfileManager.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"

namespace vistrel::engine {

using namespace platform::media;
using platform::wmf::IWMProfile;
using platform::wmf::IWMProfileManager;
using platform::wmf::IWMStreamConfig;

Q_LOGGING_CATEGORY(lcRecord, "vistrel.record")

namespace {

std::shared_ptr<IPin> pinOf(const std::shared_ptr<IBaseFilter>& filter, int index) {
  return sources::PinOf(filter, index);
}
std::shared_ptr<IPin> pinOf(const FilterComponent& component, int index) {
  return pinOf(component.filter(), index);
}
std::shared_ptr<IPin> pinOf(const std::shared_ptr<FilterComponent>& component, int index) {
  return component ? pinOf(component->filter(), index) : nullptr;
}

// The last pin of a filter: a multiplexer's newest free input after each connection.
std::shared_ptr<IPin> lastPin(const std::shared_ptr<IBaseFilter>& filter) {
  if (!filter) return nullptr;
  std::shared_ptr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins)) || !pins) return nullptr;
  std::shared_ptr<IPin> pin, last;
  while (pins->Next(1, &pin, nullptr) == S_OK) last = pin;
  return last;
}

// One arrow of a chain; the result is only looked at where a chain says so.
HRESULT link(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
             const MediaType* type = nullptr) {
  if (!out || !in) return E_POINTER;
  const HRESULT hr = out->Connect(in, type);
  if (FAILED(hr)) {
    PIN_INFO a, b;
    out->QueryPinInfo(a);
    in->QueryPinInfo(b);
    qCDebug(lcRecord) << "connection refused" << a.achName << "->" << b.achName << Qt::hex << uint32_t(hr);
  }
  return hr;
}

// A link of the video's path to the file: when it fails (a compressor that refuses the picture's
// size or format), the chain must fail too, or the recording would run and write no picture.
bool linked(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
            const MediaType* type = nullptr) {
  return SUCCEEDED(link(out, in, type));
}

// The first unconnected pin of a direction, optionally of a major type.
std::shared_ptr<IPin> firstFree(const std::shared_ptr<IBaseFilter>& filter, PIN_DIRECTION dir,
                                const GUID* major = nullptr) {
  if (!filter) return nullptr;
  std::shared_ptr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins)) || !pins) return nullptr;
  std::shared_ptr<IPin> pin;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION d;
    std::shared_ptr<IPin> peer;
    if (FAILED(pin->QueryDirection(d)) || d != dir || SUCCEEDED(pin->ConnectedTo(peer))) continue;
    if (major) {
      bool offers = false;
      std::shared_ptr<IEnumMediaTypes> types;
      if (SUCCEEDED(pin->EnumMediaTypes(types)) && types) {
        MediaType t;
        while (!offers && types->Next(1, &t, nullptr) == S_OK) offers = t.majortype == *major;
      }
      if (!offers) continue;
    }
    return pin;
  }
  return nullptr;
}

}  // namespace

TRecorder::TRecorder(Tdm& dm, settings::TparameterList& parameters, TRecordChoices choices)
    : dm_(dm), parameters_(parameters), choices_(std::move(choices)) {}

bool TRecorder::videoIsDv() const {
  const auto* video = dm_.CurrentVideoSource();
  return video && video->SceneDetector != nullptr;
}

bool TRecorder::flag(const char* key) const { return parameters_.Boolean(QString::fromUtf8(key)).Value != 0; }
int TRecorder::integer(const char* key) const { return parameters_.Integer(QString::fromUtf8(key)).Value; }
uint8_t TRecorder::enumValue(const char* key) const { return parameters_.Enum(QString::fromUtf8(key)).Value; }

bool TRecorder::Mp3EncoderAvailable() {
  std::shared_ptr<IBaseFilter> probe;
  return SUCCEEDED(FilterMapper::instance()->CreateInstance(CLSID_LameMp3Encoder, probe)) && probe;
}

// ---- Audio format ------------------------------------------------------------------------------

int TRecorder::AudioFormatRate() const {
  if (flag("Garder Format DV") && videoIsDv() && flag("Frequence DV native")) {
    const int rate = dm_.Engine().AudioInfo.AudioRate;
    if (rate == 32000 || rate == 44100 || rate == 48000) return rate;
  }
  switch (enumValue("FrequenceDV")) {
    case 1: return 32000;
    case 2: return 44100;
    case 3: return 48000;
    default: return 44100;
  }
}

bool TRecorder::ConfigureAudioFormat(int side) {
  try {
    return configureAudioFormat(side);
  } catch (...) {
    return false;
  }
}

bool TRecorder::configureAudioFormat(int side) {
  if (!dm_.CurrentAudioSource()) return false;
  const auto acm = dm_.acmcap.filter();
  std::shared_ptr<IPin> pin;
  if (FAILED(dm_.Builder()->FindPin(acm, side == 1 ? PINDIR_OUTPUT : PINDIR_INPUT, nullptr, nullptr, false, 0,
                                    pin)))
    return false;
  MediaType mt;
  if (FAILED(pin->ConnectionMediaType(mt))) return false;
  const int rate = AudioFormatRate();
  WAVEFORMATEX wf = mt.waveFormat().value_or(WAVEFORMATEX{});
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.formattype = FORMAT_WaveFormatEx;
  // The block is PCM now: its tag and alignment must agree with 2 channels of 16 bits, or the
  // writers would describe the samples wrongly.
  wf.wFormatTag = WAVE_FORMAT_PCM;
  wf.nChannels = 2;
  wf.wBitsPerSample = 16;
  wf.nSamplesPerSec = static_cast<uint32_t>(rate);
  wf.nAvgBytesPerSec = static_cast<uint32_t>(4 * rate);
  wf.nBlockAlign = 4;
  wf.cbSize = 0;
  mt.setFormat(wf);
  mt.bFixedSizeSamples = true;
  mt.lSampleSize = 4;
  if (side != 1 && FAILED(dm_.Builder()->FindPin(acm, PINDIR_OUTPUT, nullptr, nullptr, false, 0, pin)))
    return false;
  auto config = interfaceOf<IAMStreamConfig>(pin);
  return config && SUCCEEDED(config->SetFormat(mt));
}

// A multiplexer may refuse to change the type of a connected input, which would leave the sound
// at the source's rate: the converter's output gets its format as soon as its input is connected,
// before it connects, and the later ConfigureAudioFormat(1) of the chains finds it in place.
void TRecorder::configureBeforeOutput() { ConfigureAudioFormat(0); }

// ---- Chains ------------------------------------------------------------------------------------

#define VISTREL_GUARDED(call) \
  try {                       \
    return call;              \
  } catch (...) {             \
    return false;             \
  }

bool TRecorder::RecordDVType2(const QString& file) { VISTREL_GUARDED(recordDVType2(file)) }
bool TRecorder::RecordAvi(const QString& file) { VISTREL_GUARDED(recordAvi(file)) }
bool TRecorder::RecordDVRecompressed(const QString& file) { VISTREL_GUARDED(recordDVRecompressed(file)) }
bool TRecorder::RecordWmv(const QString& file) { VISTREL_GUARDED(recordWmv(file)) }
bool TRecorder::RecordImages(const QString& file, std::function<void()> stopRoutine) {
  VISTREL_GUARDED(recordImages(file, std::move(stopRoutine)))
}
bool TRecorder::RecordDivX(const QString& file) { VISTREL_GUARDED(recordDivX(file)) }
bool TRecorder::RecordWav(const QString& file) { VISTREL_GUARDED(recordWav(file)) }
bool TRecorder::RecordMp3(const QString& file) { VISTREL_GUARDED(recordMp3(file)) }
bool TRecorder::RecordStream(const QString& file) { VISTREL_GUARDED(recordStream(file)) }

#undef VISTREL_GUARDED

namespace {

// SetOutputFileName into the engine's multiplexer and file sink slots; the multiplexer or null.
std::shared_ptr<IBaseFilter> outputFile(Tdm& dm, const GUID& subtype, const QString& file) {
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  if (FAILED(dm.Builder()->SetOutputFileName(subtype, file, mux, sink))) return nullptr;
  dm.Multiplexer() = mux;
  dm.FileSink() = sink;
  return mux;
}

bool put(Tdm& dm, FilterComponent& component) { return sources::AddComponent(dm.Engine(), component); }

int dvVideoFormat(uint8_t standard) {
  return standard == 0 ? DVENCODERVIDEOFORMAT_PAL : DVENCODERVIDEOFORMAT_NTSC;
}

void setDvEncoder(FilterComponent& encoder, uint8_t standard) {
  if (auto dvenc = interfaceOf<IDVEnc>(encoder.filter())) {
    DVINFO info;
    dvenc->put_IFormatResolution(dvVideoFormat(standard), DVENCODERFORMAT_DVSD, DVENCODERRESOLUTION_720x480,
                                 false, &info);
  }
}

}  // namespace

bool TRecorder::recordDVType2(const QString& file) {
  const auto tee = dm_.VideoTee();
  if (!tee) return false;
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Avi, file);
  if (!mux) return false;
  put(dm_, dm_.infdumvideo);
  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);
  if (!linked(pinOf(tee, 2), pinOf(dm_.ControlCaptureVideo, 0)) ||
      !linked(pinOf(dm_.ControlCaptureVideo, 1), pinOf(dm_.infdumvideo, 0)) ||
      !linked(pinOf(dm_.infdumvideo, 1), pinOf(mux, 1)))
    return false;
  if (dm_.CurrentAudioSource()) {
    put(dm_, dm_.acmcap);
    link(pinOf(dm_.AudioTee(), 2), pinOf(dm_.acmcap, 0));
    configureBeforeOutput();
    // The capture freeze holds the sound here as it holds the frames at C, or the file would
    // keep the paused stretch's sound and lose its step with the frames.
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
    link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
    link(pinOf(dm_.AudioCapTamponer, 1), lastPin(mux));
    ConfigureAudioFormat(1);
  }
  return true;
}

bool TRecorder::recordAvi(const QString& file) {
  const auto tee = dm_.VideoTee();
  if (!tee) return false;
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Avi, file);
  if (!mux) return false;
  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);
  if (!linked(pinOf(tee, 2), pinOf(dm_.ControlCaptureVideo, 0)) ||
      !linked(pinOf(dm_.ControlCaptureVideo, 1), pinOf(mux, 1)))
    return false;
  if (dm_.CurrentAudioSource()) {
    put(dm_, dm_.acmcap);
    link(pinOf(dm_.AudioTee(), 2), pinOf(dm_.acmcap, 0));
    configureBeforeOutput();
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
    link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
    link(pinOf(dm_.AudioCapTamponer, 1), lastPin(mux));
    ConfigureAudioFormat(1);
  }
  return true;
}

bool TRecorder::recordDVRecompressed(const QString& file) {
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Avi, file);
  if (!mux) return false;
  put(dm_, dm_.DVenc);
  const bool keepDv = flag("Garder Format DV");
  const auto* video = dm_.CurrentVideoSource();
  const auto detector = video ? video->SceneDetector : nullptr;
  const uint8_t standard =
      keepDv && detector ? detector->processing().CurrentRecord().VideoSystem : enumValue("Standard DV");
  setDvEncoder(dm_.DVenc, standard);

  put(dm_, dm_.DVmux);
  put(dm_, dm_.DVsplitter);
  dm_.AddFilter(dm_.DVHeader, kDvHeader);
  dm_.AddFilter(dm_.VideoCapTamponer, kVideoCapTamponer);
  put(dm_, dm_.infdumvideo);
  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);

  if (!linked(pinOf(dm_.infdecvideo, 2), pinOf(dm_.ControlCaptureVideo, 0)) ||
      !linked(pinOf(dm_.ControlCaptureVideo, 1), pinOf(dm_.DVenc, 0)) ||
      !linked(pinOf(dm_.DVenc, 1), pinOf(dm_.DVHeader, 0)) ||
      !linked(pinOf(dm_.DVHeader, 1), pinOf(dm_.VideoCapTamponer, 0)) ||
      !linked(pinOf(dm_.VideoCapTamponer, 1), pinOf(dm_.infdumvideo, 0)) ||
      !linked(pinOf(dm_.infdumvideo, 1), pinOf(dm_.DVmux, 0)))
    return false;

  dm_.DVHeader->SetSceneDetector(detector);
  dm_.DVHeader->SetMode(keepDv ? 2 : enumValue("RatioDV"));

  const bool audio = dm_.CurrentAudioSource() != nullptr;
  if (audio) {
    put(dm_, dm_.acmcap);
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
    link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.AudioCapTamponer, 0));
    link(pinOf(dm_.AudioCapTamponer, 1), pinOf(dm_.acmcap, 0));
    configureBeforeOutput();
    link(pinOf(dm_.acmcap, 1), pinOf(dm_.DVmux, 1));
  }
  // The DV muxer lists its inputs first and its output last.
  if (!linked(firstFree(dm_.DVmux.filter(), PINDIR_OUTPUT), pinOf(dm_.DVsplitter, 0)) ||
      !linked(pinOf(dm_.DVsplitter, 1), pinOf(mux, 1)))
    return false;
  if (audio) {
    const GUID audioType = MEDIATYPE_Audio;
    dm_.Builder()->RenderStream(nullptr, &audioType, dm_.DVsplitter.filter(), nullptr, mux);
  }
  ConfigureAudioFormat(1);
  dm_.AudioCapTamponer->PassThrough();
  return true;
}

bool TRecorder::recordWmv(const QString& file) {
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Asf, file);
  if (!mux) return false;
  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);
  if (!linked(pinOf(dm_.infdecvideo, 2), pinOf(dm_.ControlCaptureVideo, 0)) ||
      !linked(pinOf(dm_.ControlCaptureVideo, 1), pinOf(mux, 1)))
    return false;
  const bool audio = dm_.CurrentAudioSource() != nullptr;
  if (audio) {
    // Through the capture freeze's valve for the sound, as the frames go through C.
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
    link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.AudioCapTamponer, 0));
    link(pinOf(dm_.AudioCapTamponer, 1), pinOf(mux, 0));
  }

  std::shared_ptr<IWMProfile> profile = choices_.CustomWmvProfile;
  if (!profile) {
    static const GUID kSystemProfiles[] = {
        platform::wmf::WMProfile_Preset_High, platform::wmf::WMProfile_Preset_Medium,
        platform::wmf::WMProfile_Preset_Low, platform::wmf::WMProfile_Preset_Internet};
    const int choice = integer("Profile wmv");
    if (choice < 0 || choice > 3) return false;
    auto manager = choices_.ProfileManager;
    if (!manager) platform::wmf::WMCreateProfileManager(manager);
    if (!manager || FAILED(manager->LoadProfileByID(kSystemProfiles[choice], profile)) || !profile)
      return false;
  }
  if (!audio) {
    uint32_t count = 0;
    profile->GetStreamCount(count);
    for (uint32_t n = count; n >= 1; --n) {
      std::shared_ptr<IWMStreamConfig> stream;
      GUID type;
      if (SUCCEEDED(profile->GetStreamByNumber(static_cast<uint16_t>(n), stream)) && stream &&
          SUCCEEDED(stream->GetStreamType(type)) && type == MEDIATYPE_Audio)
        profile->RemoveStreamByNumber(static_cast<uint16_t>(n));
    }
  }
  auto config = interfaceOf<IConfigAsfWriter>(mux);
  // A profile the writer cannot encode would give an empty file: refuse the start instead.
  return config && SUCCEEDED(config->ConfigureFilterUsingProfile(profile));
}

bool TRecorder::recordImages(const QString& file, std::function<void()> stopRoutine) {
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Avi, file);
  if (!mux) return false;
  put(dm_, dm_.DVmux);
  if (videoIsDv()) {
    link(pinOf(dm_.VideoTee(), 2), pinOf(dm_.DVmux, 0));
  } else {
    put(dm_, dm_.DVenc);
    setDvEncoder(dm_.DVenc, enumValue("Standard DV"));
    link(pinOf(dm_.infdecvideo, 2), pinOf(dm_.DVenc, 0));
    link(pinOf(dm_.DVenc, 1), pinOf(dm_.DVmux, 0));
  }
  put(dm_, dm_.DVsplitter);
  link(firstFree(dm_.DVmux.filter(), PINDIR_OUTPUT), pinOf(dm_.DVsplitter, 0));
  dm_.AddFilter(dm_.ControlFilter, kControlFilter);
  link(pinOf(dm_.DVsplitter, 1), pinOf(dm_.ControlFilter, 0));
  link(pinOf(dm_.ControlFilter, 1), pinOf(mux, 1));
  if (auto interleaving = interfaceOf<IConfigInterleaving>(mux)) interleaving->put_Mode(INTERLEAVE_NONE);
  dm_.ControlFilter->SetupImageByImage(std::move(stopRoutine));
  return true;
}

bool TRecorder::recordDivX(const QString& file) {
  const auto mux = outputFile(dm_, MEDIASUBTYPE_Avi, file);
  if (!mux) return false;
  auto* video = dm_.CurrentVideoSource();
  if (video && video->SceneDetector && flag("DV demi si DivX")) {
    dm_.Disconnect(*video, false);
    dm_.Engine().DVHalfSize = true;
    dm_.Connect(*video);
    dm_.Stop();
    const auto& info = dm_.Engine().VideoInfo;
    QString text = QStringLiteral("%1x%2").arg(info.VideoWidth).arg(info.VideoHeight);
    if (info.FrameDuration != 0)
      text += QStringLiteral(" - ") + QString::number(info.FramesPerSecond, 'f', 2) + " fps";
    if (choices_.ShowVideoDescription) choices_.ShowVideoDescription(text);
    // The reconnection rebuilt the video branch; the file's multiplexer stays as it was made.
  }

  QString name = choices_.DivxCompressor;
  if (name.isEmpty()) name = parameters_.String(QStringLiteral("Divx favori")).Value;
  if (name.isEmpty() || !BindByFriendlyName(dm_.divx, CLSID_VideoCompressorCategory, name)) {
    // No choice that binds: the first MPEG-4 compressor of the DivX family.
    bool bound = false;
    for (const QString& candidate : VideoCompressorNames()) {
      if (!candidate.contains(QLatin1String("divx"), Qt::CaseInsensitive) &&
          !candidate.contains(QLatin1String("xvid"), Qt::CaseInsensitive))
        continue;
      if ((bound = BindByFriendlyName(dm_.divx, CLSID_VideoCompressorCategory, candidate))) break;
    }
    if (!bound) return false;
  }
  put(dm_, dm_.divx);
  dm_.AddFilter(dm_.Resizer, kResizer);
  // The resizer cannot read the settings itself: it is told the half-size cap with its mode.
  dm_.Resizer->SetHalfSize(flag("Demi Taille"));
  dm_.Resizer->SetMode(enumValue("Ratio DivX"));

  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);
  if (!linked(pinOf(dm_.infdecvideo, 2), pinOf(dm_.ControlCaptureVideo, 0)) ||
      !linked(pinOf(dm_.ControlCaptureVideo, 1), pinOf(dm_.Resizer, 0)) ||
      !linked(pinOf(dm_.Resizer, 1), pinOf(dm_.divx, 0)))
    return false;
  put(dm_, dm_.infdumvideo);
  if (!linked(pinOf(dm_.divx, 1), pinOf(dm_.infdumvideo, 0)) ||
      !linked(pinOf(dm_.infdumvideo, 1), pinOf(mux, 1)))
    return false;

  if (dm_.CurrentAudioSource()) {
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTimestamper);
    put(dm_, dm_.acmcap);
    const bool mp3 = flag("Want Mp3") && dm_.mp3.bindClassId(CLSID_LameMp3Encoder) == S_OK;
    link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.acmcap, 0));
    configureBeforeOutput();
    if (mp3) {
      put(dm_, dm_.mp3);
      link(pinOf(dm_.acmcap, 1), pinOf(dm_.mp3, 0));
      link(pinOf(dm_.mp3, 1), pinOf(dm_.AudioCapTamponer, 0));
    } else {
      link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
    }
    link(pinOf(dm_.AudioCapTamponer, 1), pinOf(mux, 2));
  }
  ConfigureAudioFormat(1);
  dm_.AudioCapTamponer->PassThrough();
  return true;
}

bool TRecorder::recordWav(const QString& file) {
  if (!dm_.CurrentAudioSource()) return false;
  put(dm_, dm_.acmcap);
  dm_.AddFilter(dm_.WaveDest, kWaveDest);
  put(dm_, dm_.FileWriter);
  auto sink = interfaceOf<IFileSinkFilter>(dm_.FileWriter.filter());
  if (!sink || FAILED(sink->SetFileName(file, nullptr))) return false;
  link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.acmcap, 0));
  ConfigureAudioFormat(0);
  dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
  link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
  link(pinOf(dm_.AudioCapTamponer, 1), pinOf(dm_.WaveDest, 0));
  link(pinOf(dm_.WaveDest, 1), pinOf(dm_.FileWriter, 0));
  return true;
}

bool TRecorder::recordMp3(const QString& file) {
  if (!dm_.CurrentAudioSource() || dm_.mp3.bindClassId(CLSID_LameMp3Encoder) != S_OK) return false;
  put(dm_, dm_.acmcap);
  dm_.AddFilter(dm_.WaveDest, kWaveDest);
  put(dm_, dm_.FileWriter);
  put(dm_, dm_.mp3);
  auto sink = interfaceOf<IFileSinkFilter>(dm_.FileWriter.filter());
  if (!sink || FAILED(sink->SetFileName(file, nullptr))) return false;
  link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.acmcap, 0));
  ConfigureAudioFormat(0);
  dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
  link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
  link(pinOf(dm_.AudioCapTamponer, 1), pinOf(dm_.mp3, 0));
  const MediaType mpegAudio(MEDIATYPE_Audio, makeGuid("{00000050-0000-0010-8000-00AA00389B71}"));
  link(pinOf(dm_.mp3, 1), pinOf(dm_.WaveDest, 0), &mpegAudio);
  link(pinOf(dm_.WaveDest, 1), pinOf(dm_.FileWriter, 0));
  ConfigureAudioFormat(1);
  return true;
}

bool TRecorder::recordStream(const QString& file) {
  const auto tee = dm_.VideoTee();
  if (!tee) return false;
  put(dm_, dm_.writer);
  auto sink = interfaceOf<IFileSinkFilter>(dm_.writer.filter());
  if (!sink || FAILED(sink->SetFileName(file, nullptr))) return false;
  MediaType mt;
  if (auto in = pinOf(tee, 0); !in || FAILED(in->ConnectionMediaType(mt))) return false;
  dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo);

  const auto graph = dm_.Graph();
  const auto mapper = FilterMapper::instance();
  const bool audio = dm_.CurrentAudioSource() != nullptr;
  if (audio) {
    put(dm_, dm_.acmcap);
    link(pinOf(dm_.infdecaudio, 2), pinOf(dm_.acmcap, 0));
    configureBeforeOutput();
    dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTamponer);
    link(pinOf(dm_.acmcap, 1), pinOf(dm_.AudioCapTamponer, 0));
    dm_.audioenc.setGraph(nullptr);
    std::shared_ptr<IEnumMoniker> encoders;
    mapper->EnumMatchingFilters(encoders, 0, true, 0, true, {{MEDIATYPE_Audio, GUID_NULL}}, nullptr, nullptr,
                                false, true, {{MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload}}, nullptr,
                                nullptr);
    std::shared_ptr<IMoniker> moniker;
    while (encoders && encoders->Next(1, &moniker, nullptr) == S_OK) {
      if (FAILED(dm_.audioenc.bindMoniker(moniker)) || !dm_.audioenc.filter()) continue;
      put(dm_, dm_.audioenc);
      graph->ConnectDirect(pinOf(dm_.AudioCapTamponer, 1), firstFree(dm_.audioenc.filter(), PINDIR_INPUT),
                           nullptr);
      ConfigureAudioFormat(1);
      break;
    }
  }

  dm_.muxer.setGraph(nullptr);
  dm_.CandidateEnumerator.reset();
  mapper->EnumMatchingFilters(dm_.CandidateEnumerator, 0, true, 0, true, {{mt.majortype, mt.subtype}},
                              nullptr, nullptr, false, true, {{MEDIATYPE_Stream, GUID_NULL}}, nullptr,
                              nullptr);
  bool succeeded = false;
  std::shared_ptr<IMoniker> moniker;
  while (!succeeded && dm_.CandidateEnumerator &&
         dm_.CandidateEnumerator->Next(1, &moniker, nullptr) == S_OK) {
    if (FAILED(dm_.muxer.bindMoniker(moniker)) || !dm_.muxer.filter()) continue;
    put(dm_, dm_.muxer);
    const auto muxer = dm_.muxer.filter();
    const auto videoIn = firstFree(muxer, PINDIR_INPUT);
    if (!videoIn) continue;
    graph->ConnectDirect(pinOf(tee, 2), pinOf(dm_.ControlCaptureVideo, 0), nullptr);
    if (FAILED(graph->ConnectDirect(pinOf(dm_.ControlCaptureVideo, 1), videoIn, nullptr))) continue;
    const GUID stream = MEDIATYPE_Stream;
    const auto out = firstFree(muxer, PINDIR_OUTPUT, &stream);
    if (!out || FAILED(graph->ConnectDirect(out, pinOf(dm_.writer, 0), nullptr))) continue;
    if (audio) {
      const auto audioIn = firstFree(muxer, PINDIR_INPUT);
      const auto encoderOut = firstFree(dm_.audioenc.filter(), PINDIR_OUTPUT);
      if (!audioIn || !encoderOut || FAILED(graph->ConnectDirect(encoderOut, audioIn, nullptr))) continue;
    }
    succeeded = true;
  }
  dm_.CandidateEnumerator.reset();
  return succeeded;
}

}  // namespace vistrel::engine
