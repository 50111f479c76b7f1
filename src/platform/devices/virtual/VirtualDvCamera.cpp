#include "platform/devices/virtual/VirtualDvCamera.h"

#include <QLoggingCategory>
#include <algorithm>
#include <chrono>
#include <set>
#include <vector>

#include "platform/devices/LostDevicePins.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/StreamingThread.h"
#include "platform/media/SystemClock.h"
#include "platform/media/filters/DvInfo.h"
#include "platform/ui/MessageBoxes.h"

namespace vistrel::platform::devices {

using namespace media;

Q_LOGGING_CATEGORY(lcDvCamera, "vistrel.virtual.dv")

namespace {
bool readCount(const QString& text, int64_t& value) {
  bool ok = false;
  value = text.trimmed().toLongLong(&ok);
  return ok && value >= 0;
}

// "<frame>" or "<frame>+<number>".
bool readSpan(const QString& text, int64_t& at, int64_t& extra, bool extraRequired) {
  const QStringList parts = text.split(QLatin1Char('+'));
  if (parts.size() > 2 || !readCount(parts[0], at)) return false;
  if (parts.size() == 2) return readCount(parts[1], extra);
  return !extraRequired;
}
}  // namespace

DvCameraSettings dvCameraSettings(const QStringList& options) {
  DvCameraSettings s;
  for (const QString& option : options) {
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    const QString key = (eq < 0 ? option : option.left(eq)).trimmed().toLower();
    const QString value = eq < 0 ? QString() : option.mid(eq + 1).trimmed();
    bool ok = true;
    DvTapeFeature f;
    if (key == QLatin1String("pal")) {
      s.tape.system = dv::System::Pal;
    } else if (key == QLatin1String("ntsc")) {
      s.tape.system = dv::System::Ntsc;
    } else if (key == QLatin1String("camera")) {
      s.cameraMode = true;
    } else if (key == QLatin1String("vcr")) {
      s.cameraMode = false;
    } else if (key == QLatin1String("stopped")) {
      s.initialMode = ED_MODE_STOP;
    } else if (key == QLatin1String("file")) {
      s.tapeFile = value;
      ok = !value.isEmpty();
    } else if (key == QLatin1String("frames")) {
      ok = readCount(value, s.tape.frames) && s.tape.frames > 0;
    } else if (key == QLatin1String("silent")) {
      s.tape.sampleRate = 0;
    } else if (key == QLatin1String("audio")) {
      const int rate = value.toInt(&ok);
      ok = ok && (rate == 48000 || rate == 44100 || rate == 32000 || rate == 0);
      if (ok) s.tape.sampleRate = rate;
    } else if (key == QLatin1String("12bit")) {
      s.tape.audioBits = 12;
    } else if (key == QLatin1String("date")) {
      const QDateTime when = QDateTime::fromString(value, Qt::ISODate);
      ok = when.isValid();
      if (ok) s.tape.recorded = when;
    } else if (key == QLatin1String("break")) {
      f.kind = DvTapeFeature::RecordingBreak;
      ok = readSpan(value, f.atFrame, f.jumpSeconds, false);
      if (ok) s.tape.features.push_back(f);
    } else if (key == QLatin1String("undated")) {
      f.kind = DvTapeFeature::Undated;
      ok = readSpan(value, f.atFrame, f.frames, true);
      if (ok) s.tape.features.push_back(f);
    } else if (key == QLatin1String("wide")) {
      f.kind = DvTapeFeature::Wide;
      f.frames = 0;
      ok = readSpan(value, f.atFrame, f.frames, false);
      if (ok) s.tape.features.push_back(f);
    } else {
      ok = false;
    }
    if (!ok && s.error.isEmpty())
      s.error = QStringLiteral("unknown or malformed DV option \"%1\"").arg(option);
  }
  // 12-bit sound exists at 32 kHz only.
  if (s.tape.audioBits == 12 && s.tape.sampleRate != 32000) {
    s.tape.audioBits = 16;
    if (s.error.isEmpty()) s.error = QStringLiteral("12-bit DV sound needs audio=32000");
  }
  return s;
}

// ---------------------------------------------------------------------------------------------
class VirtualDvCamera::OutputPin : public BaseOutputPin {
 public:
  explicit OutputPin(VirtualDvCamera* camera)
      : BaseOutputPin(camera, QStringLiteral("DV A/V Out"), PIN_CATEGORY_CAPTURE), camera_(camera) {}
  ~OutputPin() override { thread_.stop(); }

  HRESULT CheckMediaType(const MediaType& type) override {
    return camera_->valid() && type == camera_->mediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !camera_->valid()) return VFW_S_NO_MORE_ITEMS;
    type = camera_->mediaType();
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 8);
    want.cbBuffer = std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(camera_->mediaType().lSampleSize));
    want.cbAlign = std::max(want.cbAlign, 1);
    const HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

  void startStreaming() {
    if (connected_) thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 private:
  // Streaming thread: one tape step per frame period; samples come from the pool without
  // waiting, so a late branch costs frames, never the deck's pace.
  void stream(StreamingThread& thread) {
    const REFERENCE_TIME interval = camera_->frameInterval();
    const auto bytes = static_cast<int32_t>(camera_->mediaType().lSampleSize);
    std::vector<uint8_t> scratch(static_cast<size_t>(bytes));
    // Paced by the graph's clock, which also stamps the frames.
    const REFERENCE_TIME t0 = SystemClock::now();
    for (int64_t k = 0; thread.sleepUntil(SystemClock::wallTimeOf(t0 + k * interval)); ++k) {
      if (camera_->deviceLost()) continue;
      // A frame read late keeps the time it was due at, as a deck's steady pace gives it: a
      // stamp taken when the thread got round to it would show the multiplexer gaps that are
      // none, which it fills, writing more frames than time passed.
      const REFERENCE_TIME late = std::max<REFERENCE_TIME>(0, SystemClock::now() - (t0 + k * interval));
      REFERENCE_TIME start = std::max<REFERENCE_TIME>(0, camera_->streamTime() - late);
      if (!camera_->nextFrame(scratch, start)) continue;
      std::shared_ptr<MediaSample> sample;
      if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) || sample->GetSize() < bytes) {
        camera_->countDropped();
        continue;
      }
      std::memcpy(sample->data(), scratch.data(), scratch.size());
      REFERENCE_TIME stop = start + interval;
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(true);
      sample->SetActualDataLength(bytes);
      camera_->countDelivered();
      Deliver(sample);
    }
  }

  VirtualDvCamera* camera_;
  StreamingThread thread_;
};

// ---------------------------------------------------------------------------------------------
// The device is bound again at every refresh of the device lists: each refusal is told once.
void VirtualDvCamera::tellUser(const QString& friendlyName, const QString& error) {
  static std::mutex toldLock;
  static std::set<QString> told;
  const QString text =
      error + QStringLiteral("\nLe caméscope « %1 » ne peut pas être utilisé.").arg(friendlyName);
  {
    std::lock_guard guard(toldLock);
    if (!told.insert(text).second) return;
  }
  ui::showMessage(ui::MessageKind::Error, text);
}

VirtualDvCamera::VirtualDvCamera(const QString& friendlyName, const DvCameraSettings& settings)
    : BaseFilter(CLSID_VirtualDvCamera, friendlyName), cameraMode_(settings.cameraMode) {
  if (!settings.tapeFile.isEmpty() && !cameraMode_) {
    file_ = DvTapeFile::open(settings.tapeFile, error_);
    if (file_) {
      system_ = file_->system();
      length_ = file_->length();
    }
  } else {
    DvTapeDescription tape = settings.tape;
    if (cameraMode_) {
      // Live pictures: dated from now on, for as long as anyone watches.
      tape.recorded = QDateTime::currentDateTime();
      tape.frames = int64_t{30} * 3600 * 24;
      tape.features.clear();
    }
    generated_ = std::make_unique<DvTape>(tape);
    if (generated_->valid()) {
      system_ = generated_->system();
      length_ = generated_->length();
    } else {
      error_ = QStringLiteral("La cassette du caméscope « %1 » n'a pas pu être créée.").arg(friendlyName);
    }
  }
  if (!error_.isEmpty()) {
    qCWarning(lcDvCamera).noquote() << error_;
    tellUser(friendlyName, error_);
  }
  transport_ = std::make_unique<DvTransport>(length_, settings.initialMode);
  if (valid()) {
    std::vector<uint8_t> first(dv::frameBytes(system_));
    readFrame(0, first);
    type_ = MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
    type_.setFormat(media::dvInfoOfFrame(first, system_));
    type_.bFixedSizeSamples = true;
    type_.lSampleSize = static_cast<uint32_t>(dv::frameBytes(system_));
  }
  addPin(std::make_shared<OutputPin>(this));
}

VirtualDvCamera::~VirtualDvCamera() { haltStreaming(); }

REFERENCE_TIME VirtualDvCamera::frameInterval() const { return system_ == dv::System::Pal ? 400000 : 333667; }

bool VirtualDvCamera::readFrame(int64_t index, std::span<uint8_t> frame) {
  return generated_ ? generated_->frameAt(index, frame) : file_ && file_->frameAt(index, frame);
}

dv::TimeCode VirtualDvCamera::timeCodeAt(int64_t index) {
  if (generated_) return dv::timeCodeOfFrame(index, system_);
  // A deck reads the time code the tape carries.
  std::vector<uint8_t> frame(dv::frameBytes(system_));
  dv::TimeCode code;
  if (!readFrame(index, frame) || !readTimeCodePack(frame, system_, code))
    code = dv::timeCodeOfFrame(index, system_);
  return code;
}

bool VirtualDvCamera::nextFrame(std::span<uint8_t> frame, REFERENCE_TIME when) {
  std::lock_guard guard(lock_);
  if (!valid()) return false;
  int64_t index;
  if (cameraMode_) {
    index = live_ % length_;
    ++live_;
  } else {
    index = transport_->tick();
    if (index < 0) return false;
  }
  lastFrame_ = index;
  lastTick_ = when;
  return readFrame(index, frame);
}

int64_t VirtualDvCamera::tapePosition() {
  std::lock_guard guard(lock_);
  return cameraMode_ ? live_ % std::max<int64_t>(1, length_) : transport_->frame();
}

void VirtualDvCamera::haltStreaming() { static_cast<OutputPin*>(pins_.front().get())->stopStreaming(); }

HRESULT VirtualDvCamera::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT VirtualDvCamera::onPause() {
  haltStreaming();
  return S_OK;
}

HRESULT VirtualDvCamera::onRun(REFERENCE_TIME) {
  static_cast<OutputPin*>(pins_.front().get())->startStreaming();
  return S_OK;
}

void VirtualDvCamera::setDeviceLost(bool lost) {
  if (lost_.exchange(lost) == lost) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, lost ? 0 : 1, self()});
}

HRESULT VirtualDvCamera::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  pins = visiblePins(pins_, lost_.load());
  return S_OK;
}

HRESULT VirtualDvCamera::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);  // the graph cannot unlink the outputs it no longer sees
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT VirtualDvCamera::put_Mode(int32_t mode) {
  std::lock_guard guard(lock_);
  if (!valid()) return E_FAIL;
  return transport_->setMode(mode);
}

HRESULT VirtualDvCamera::get_Mode(int32_t& mode) {
  std::lock_guard guard(lock_);
  mode = transport_->mode();
  return S_OK;
}

HRESULT VirtualDvCamera::get_MediaState(int32_t& state) {
  state = valid() ? ED_MEDIA_SPIN_UP : ED_MEDIA_NOT_PRESENT;
  return S_OK;
}

HRESULT VirtualDvCamera::GetTimecode(TIMECODE_SAMPLE& sample) {
  if (sample.dwFlags != ED_DEVCAP_TIMECODE_READ) return E_INVALIDARG;
  std::lock_guard guard(lock_);
  if (!valid()) return E_FAIL;
  // In camera mode the heads are on the last frame recorded; on a deck, on the tape position.
  const int64_t index = cameraMode_ ? std::max<int64_t>(0, lastFrame_) : transport_->frame();
  const dv::TimeCode code = timeCodeAt(index);
  sample.timecode.dwFrames = timecodeToBcd(code.hours, code.minutes, code.seconds, code.frames);
  sample.timecode.wFrameRate = 0;
  sample.timecode.wFrameFract = 0;
  sample.qwTick = lastTick_;
  return S_OK;
}

HRESULT VirtualDvCamera::GetCapability(int32_t capability, int32_t& value, double& doubleValue) {
  doubleValue = 0;
  if (capability != ED_DEVCAP_DEVICE_TYPE) return E_INVALIDARG;
  value = cameraMode_ ? ED_DEVTYPE_CAMERA : ED_DEVTYPE_VCR;
  return S_OK;
}

HRESULT VirtualDvCamera::get_DevicePower(int32_t& powerMode) {
  powerMode = lost_.load() ? ED_POWER_OFF : ED_POWER_ON;
  return S_OK;
}

HRESULT VirtualDvCamera::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}

HRESULT VirtualDvCamera::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}

HRESULT VirtualDvCamera::GetAverageFrameSize(int32_t& size) {
  size = delivered_.load() ? static_cast<int32_t>(type_.lSampleSize) : 0;
  return S_OK;
}

}  // namespace vistrel::platform::devices
