#include "platform/devices/v4l2/V4l2CaptureFilter.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/devices/LostDevicePins.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/StreamingThread.h"
#include "platform/media/SystemClock.h"
#include "platform/media/VideoProcAmpProperties.h"
#include "platform/ui/PropertyFrame.h"

namespace vistrel::platform::devices::v4l2 {

using namespace media;

namespace {
constexpr HRESULT E_PROP_ID_UNSUPPORTED = static_cast<HRESULT>(0x80070490);
constexpr int kBufferCount = 4;
constexpr int kPollMs = 100;  // the longest a stop request waits for the streaming thread
constexpr int kMaxConsecutiveErrors = 20;

bool isGone(int r) { return r == -ENODEV || r == -ENXIO; }

uint32_t procAmpControl(int32_t property) {
  switch (property) {
    case VideoProcAmp_Brightness: return V4L2_CID_BRIGHTNESS;
    case VideoProcAmp_Contrast: return V4L2_CID_CONTRAST;
    case VideoProcAmp_Hue: return V4L2_CID_HUE;
    case VideoProcAmp_Saturation: return V4L2_CID_SATURATION;
    case VideoProcAmp_Sharpness: return V4L2_CID_SHARPNESS;
    case VideoProcAmp_Gamma: return V4L2_CID_GAMMA;
    case VideoProcAmp_WhiteBalance: return V4L2_CID_WHITE_BALANCE_TEMPERATURE;
    case VideoProcAmp_BacklightCompensation: return V4L2_CID_BACKLIGHT_COMPENSATION;
    case VideoProcAmp_Gain: return V4L2_CID_GAIN;
    default: return 0;
  }
}

uint32_t cameraControlId(int32_t property) {
  switch (property) {
    case CameraControl_Pan: return V4L2_CID_PAN_ABSOLUTE;
    case CameraControl_Tilt: return V4L2_CID_TILT_ABSOLUTE;
    case CameraControl_Zoom: return V4L2_CID_ZOOM_ABSOLUTE;
    case CameraControl_Exposure: return V4L2_CID_EXPOSURE_ABSOLUTE;
    case CameraControl_Focus: return V4L2_CID_FOCUS_ABSOLUTE;
    case CameraControl_Iris: return V4L2_CID_IRIS_ABSOLUTE;
    default: return 0;
  }
}

// The automatic companion of a control, and the values that switch it on and off.
struct AutoControl {
  uint32_t id = 0;
  std::vector<int32_t> on;
  int32_t off = 0;
};
AutoControl autoControlOf(uint32_t cid) {
  switch (cid) {
    case V4L2_CID_WHITE_BALANCE_TEMPERATURE: return {V4L2_CID_AUTO_WHITE_BALANCE, {1}, 0};
    // UVC cameras accept only aperture priority as "automatic".
    case V4L2_CID_EXPOSURE_ABSOLUTE:
      return {V4L2_CID_EXPOSURE_AUTO,
              {V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_EXPOSURE_AUTO},
              V4L2_EXPOSURE_MANUAL};
    case V4L2_CID_FOCUS_ABSOLUTE: return {V4L2_CID_FOCUS_AUTO, {1}, 0};
    default: return {};
  }
}

// Camera control units: pan and tilt are arc seconds in V4L2 and degrees here; exposure is
// 100 us steps in V4L2 and log2 of seconds here.
int32_t toCameraUnits(uint32_t cid, int32_t v) {
  if (cid == V4L2_CID_PAN_ABSOLUTE || cid == V4L2_CID_TILT_ABSOLUTE)
    return static_cast<int32_t>(std::lround(v / 3600.0));
  if (cid == V4L2_CID_EXPOSURE_ABSOLUTE)
    return static_cast<int32_t>(std::lround(std::log2(std::max(v, 1) / 10000.0)));
  return v;
}
int32_t fromCameraUnits(uint32_t cid, int32_t v) {
  if (cid == V4L2_CID_PAN_ABSOLUTE || cid == V4L2_CID_TILT_ABSOLUTE) return v * 3600;
  if (cid == V4L2_CID_EXPOSURE_ABSOLUTE)
    return static_cast<int32_t>(std::lround(10000.0 * std::pow(2.0, std::clamp(v, -20, 10))));
  return v;
}
}  // namespace

std::string deviceIdentity(const V4l2DeviceInfo& info) {
  if (info.busInfo.empty()) return "@v4l2:" + info.path;
  return "@v4l2:" + info.busInfo + ":" + info.card;
}

// ---------------------------------------------------------------------------------------------
// The memory-mapped stream of one run.
struct V4l2CaptureFilter::Session {
  struct Buffer {
    void* address = nullptr;
    size_t length = 0;
  };
  std::shared_ptr<V4l2Kernel> kernel;
  int fd = -1;
  std::vector<Buffer> buffers;
  bool streaming = false;
  V4l2MediaFormat format;
  uint32_t bytesPerLine = 0;
  StreamingThread thread;
  // Streaming thread only.
  bool haveBase = false;
  REFERENCE_TIME base = 0, firstKernelTime = 0;
  int64_t lastSequence = -1;
  size_t queued = 0;  // buffers the driver holds
  bool saidBadIndex = false;

  ~Session() { close(); }
  void stopStreaming() {
    thread.stop();  // joined before anything it uses goes away
    if (streaming) {
      int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      kernel->ioctl(fd, VIDIOC_STREAMOFF, &type);
      streaming = false;
    }
  }
  void close() {
    stopStreaming();
    for (auto& b : buffers)
      if (b.address) kernel->munmap(b.address, b.length);
    buffers.clear();
    if (fd >= 0) {
      v4l2_requestbuffers rb{};
      rb.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      rb.memory = V4L2_MEMORY_MMAP;
      kernel->ioctl(fd, VIDIOC_REQBUFS, &rb);  // count 0 frees the driver's buffers
      kernel->close(fd);
      fd = -1;
    }
  }
};

// ---------------------------------------------------------------------------------------------
class V4l2CaptureFilter::CapturePin : public BaseOutputPin,
                                      public IAMStreamConfig,
                                      public ISpecifyPropertyPages {
 public:
  CapturePin(V4l2CaptureFilter* f, QString name, const GUID& category, bool preview)
      : BaseOutputPin(f, std::move(name), category), owner_(f), preview_(preview) {
    if (!f->formats_.empty()) preferred_ = f->formats_.front().type;
  }

  // The other of the capture and preview pins: both carry the same frames in one format.
  CapturePin* sibling() const { return preview_ ? owner_->capturePin() : owner_->previewPin(); }

  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return E_UNEXPECTED;
    if (auto* s = sibling(); s && s->isConnected())
      return s->currentMediaType() == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    const auto* f = findFormat(owner_->formats_, type);
    return f && f->type == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (!filter_) return VFW_S_NO_MORE_ITEMS;
    if (auto* s = sibling(); s && s->isConnected()) {
      if (position > 0) return VFW_S_NO_MORE_ITEMS;
      type = s->currentMediaType();
      return S_OK;
    }
    const auto& all = owner_->formats_;
    if (all.empty()) return VFW_S_NO_MORE_ITEMS;
    if (position == 0) {
      type = preferred_;
      return S_OK;
    }
    if (position > static_cast<int>(all.size())) return VFW_S_NO_MORE_ITEMS;
    type = all[static_cast<size_t>(position - 1)].type;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    const auto* f = findFormat(owner_->formats_, currentMediaType());
    int32_t size = static_cast<int32_t>(currentMediaType().lSampleSize);
    if (f && f->type.majortype == MEDIATYPE_Stream) size = 1 << 20;  // program stream chunks
    ALLOCATOR_PROPERTIES want = request;
    want.cBuffers = std::max(want.cBuffers, 4);
    want.cbBuffer = std::max(want.cbBuffer, std::max(size, 1));
    want.cbAlign = std::max(want.cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

  HRESULT SetFormat(const MediaType& type) override {
    if (!filter_) return E_UNEXPECTED;
    const auto* f = findFormat(owner_->formats_, type);
    if (!f) return VFW_E_INVALIDMEDIATYPE;
    if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const MediaType chosen = f->type;  // the complete type, whatever block the caller built
    if (auto* s = sibling(); s && s->isConnected() && !(s->currentMediaType() == chosen))
      return VFW_E_TYPE_NOT_ACCEPTED;
    const MediaType old = preferred_;
    preferred_ = chosen;
    if (!connected_ || mt_ == chosen) return S_OK;
    std::shared_ptr<IPin> peerPin = peer();
    if (!peerPin || peerPin->QueryAccept(chosen) != S_OK) {
      preferred_ = old;
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const MediaType current = mt_;
    peerPin->Disconnect();
    Disconnect();
    if (Connect(peerPin, &chosen) == S_OK) return S_OK;
    preferred_ = old;
    Connect(peerPin, &current);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetFormat(MediaType& type) override {
    type = connected_ ? mt_ : preferred_;
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = static_cast<int32_t>(owner_->formats_.size());
    size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    const auto& all = owner_->formats_;
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int32_t>(all.size())) return S_FALSE;
    const auto& f = all[static_cast<size_t>(index)];
    type = f.type;
    VIDEO_STREAM_CONFIG_CAPS c;
    c.minWidth = c.maxWidth = static_cast<int32_t>(f.width);
    c.minHeight = c.maxHeight = static_cast<int32_t>(f.height);
    c.MinFrameInterval = c.MaxFrameInterval = f.type.averageTimePerFrame();
    caps.assign(reinterpret_cast<const uint8_t*>(&c), reinterpret_cast<const uint8_t*>(&c) + sizeof c);
    return S_OK;
  }

  HRESULT GetPages(std::vector<GUID>& pages) override {
    pages.clear();
    if (filter_ && !owner_->formats_.empty()) pages.push_back(PAGE_V4l2StreamFormat);
    return S_OK;
  }
  PropertyPage* CreatePage(const GUID& page, QWidget* parent) override {
    if (page != PAGE_V4l2StreamFormat || !filter_) return nullptr;
    return new StreamFormatPage(std::dynamic_pointer_cast<IAMStreamConfig>(self()), parent);
  }

 private:
  V4l2CaptureFilter* owner_;
  bool preview_;
  MediaType preferred_;
};

// ---------------------------------------------------------------------------------------------
class V4l2CaptureFilter::CameraControl : public IAMCameraControl {
 public:
  explicit CameraControl(V4l2CaptureFilter* f) : owner_(f) {}
  HRESULT GetRange(int32_t p, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                   int32_t& flags) override {
    return owner_ ? owner_->cameraGetRange(p, min, max, step, deflt, flags) : E_UNEXPECTED;
  }
  HRESULT Set(int32_t p, int32_t value, int32_t flags) override {
    return owner_ ? owner_->cameraSet(p, value, flags) : E_UNEXPECTED;
  }
  HRESULT Get(int32_t p, int32_t& value, int32_t& flags) override {
    return owner_ ? owner_->cameraGet(p, value, flags) : E_UNEXPECTED;
  }
  void detach() { owner_ = nullptr; }

 private:
  V4l2CaptureFilter* owner_;
};

// ---------------------------------------------------------------------------------------------
// The analogue video input: fed only by the crossbar of the same card (the medium of the link).
class V4l2CaptureFilter::AnalogInputPin : public BaseInputPin {
 public:
  explicit AnalogInputPin(V4l2CaptureFilter* f)
      : BaseInputPin(f, QStringLiteral("Analog Video In"), PIN_CATEGORY_ANALOGVIDEOIN), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = analogVideoType();
    return S_OK;
  }
  HRESULT CheckConnect(const std::shared_ptr<IPin>& peer) override {
    PIN_INFO info;
    if (!peer || FAILED(peer->QueryPinInfo(info))) return E_POINTER;
    auto crossbar = std::dynamic_pointer_cast<V4l2Crossbar>(info.pFilter);
    if (!crossbar || !filter_ || crossbar->identity() != owner_->identity()) return VFW_E_NO_ACCEPTABLE_TYPES;
    return BaseInputPin::CheckConnect(peer);
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return S_OK; }

 private:
  V4l2CaptureFilter* owner_;
};

// ---------------------------------------------------------------------------------------------
V4l2CaptureFilter::V4l2CaptureFilter(std::shared_ptr<V4l2Kernel> kernel, V4l2DeviceInfo info)
    : BaseFilter(CLSID_V4l2VideoCapture, QString::fromStdString(info.card)),
      kernel_(std::move(kernel)),
      info_(std::move(info)),
      identity_(deviceIdentity(info_)),
      formats_(mediaFormats(info_)),
      cameraControl_(std::make_shared<CameraControl>(this)) {
  addPin(std::make_shared<CapturePin>(this, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE, false));
  addPin(std::make_shared<CapturePin>(this, QStringLiteral("Preview"), PIN_CATEGORY_PREVIEW, true));
  if (hasAnalogInput()) addPin(std::make_shared<AnalogInputPin>(this));
}

V4l2CaptureFilter::~V4l2CaptureFilter() {
  teardown();
  cameraControl_->detach();
  std::lock_guard g(controlLock_);
  if (controlFd_ >= 0) kernel_->close(controlFd_);
}

bool V4l2CaptureFilter::hasAnalogInput() const { return hasAnalogInputs(info_); }

std::string V4l2CaptureFilter::path() const {
  std::lock_guard g(pathLock_);
  return info_.path;
}

V4l2CaptureFilter::CapturePin* V4l2CaptureFilter::capturePin() const {
  return pins_.empty() ? nullptr : static_cast<CapturePin*>(pins_[0].get());
}
V4l2CaptureFilter::CapturePin* V4l2CaptureFilter::previewPin() const {
  return pins_.size() < 2 ? nullptr : static_cast<CapturePin*>(pins_[1].get());
}

namespace {
ControlAccess cameraAccess(const std::shared_ptr<IAMCameraControl>& c) {
  return {[c](int32_t p, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt, int32_t& flags) {
            return c->GetRange(p, min, max, step, deflt, flags);
          },
          [c](int32_t p, int32_t v, int32_t f) { return c->Set(p, v, f); },
          [c](int32_t p, int32_t& v, int32_t& f) { return c->Get(p, v, f); }};
}
}  // namespace

HRESULT V4l2CaptureFilter::GetPages(std::vector<GUID>& pages) {
  pages.clear();
  auto me = std::dynamic_pointer_cast<IAMVideoProcAmp>(self());
  if (!me) return E_UNEXPECTED;
  if (!supportedControls(procAmpAccess(me), procAmpControls()).empty())
    pages.push_back(PAGE_V4l2VideoProcAmp);
  if (!supportedControls(cameraAccess(cameraControl_), cameraControls()).empty())
    pages.push_back(PAGE_V4l2CameraControl);
  return S_OK;
}

PropertyPage* V4l2CaptureFilter::CreatePage(const GUID& page, QWidget* parent) {
  auto me = std::dynamic_pointer_cast<IAMVideoProcAmp>(self());
  if (!me) return nullptr;
  if (page == PAGE_V4l2VideoProcAmp)
    return new ControlPage(QStringLiteral("Réglages vidéo"), procAmpAccess(me), procAmpControls(), parent);
  if (page == PAGE_V4l2CameraControl)
    return new ControlPage(QStringLiteral("Caméra"), cameraAccess(cameraControl_), cameraControls(), parent);
  return nullptr;
}

HRESULT V4l2CaptureFilter::HasDialog(int dialog) {
  std::vector<GUID> pages;
  switch (dialog) {
    case VfwCaptureDialog_Format: return formats_.empty() ? S_FALSE : S_OK;
    case VfwCaptureDialog_Source: return SUCCEEDED(GetPages(pages)) && !pages.empty() ? S_OK : S_FALSE;
    default: return S_FALSE;
  }
}

HRESULT V4l2CaptureFilter::ShowDialog(int dialog, QWidget* parent) {
  if (HasDialog(dialog) != S_OK) return E_INVALIDARG;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;  // a dialog may change the format
  std::shared_ptr<Unknown> object;
  if (dialog == VfwCaptureDialog_Format)
    object = std::dynamic_pointer_cast<Unknown>(pins_.at(0));
  else
    object = std::dynamic_pointer_cast<Unknown>(self());
  return ui::OleCreatePropertyFrame(parent, 30, 30, name(), object);
}

HRESULT V4l2CaptureFilter::SendDriverMessage(int, int, intptr_t, intptr_t) { return E_NOTIMPL; }

std::shared_ptr<Unknown> V4l2CaptureFilter::getInterface(const std::type_info& type) {
  if (type == typeid(IAMCameraControl)) return cameraControl_;
  return nullptr;
}

void V4l2CaptureFilter::setDeviceLost() {
  if (lost_.exchange(true)) return;
  {
    std::lock_guard g(controlLock_);
    if (controlFd_ >= 0) kernel_->close(controlFd_);
    controlFd_ = -1;
  }
  reportError(path() + ": the device was removed", 0);
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, 0, self()});
}

void V4l2CaptureFilter::setDeviceBack(const std::string& path) {
  {
    std::lock_guard g(pathLock_);
    info_.path = path;
  }
  if (!lost_.exchange(false)) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, 1, self()});
}

int V4l2CaptureFilter::controlIoctl(unsigned long request, void* arg) {
  if (lost_.load()) return -ENODEV;
  std::lock_guard g(controlLock_);
  if (controlFd_ < 0) {
    const int fd = kernel_->open(path(), O_RDWR | O_NONBLOCK);
    if (fd < 0) return fd;
    controlFd_ = fd;
  }
  return kernel_->ioctl(controlFd_, request, arg);
}

HRESULT V4l2CaptureFilter::selectInput(uint32_t index) {
  if (index >= info_.inputs.size()) return E_INVALIDARG;
  int i = static_cast<int>(info_.inputs[index].index);
  const int r = controlIoctl(VIDIOC_S_INPUT, &i);
  if (r == -EBUSY) {
    // Most drivers refuse to switch while streaming; the choice applies at the next run.
    reportError(path() + ": VIDIOC_S_INPUT", r);
    return VFW_E_NOT_STOPPED;
  }
  return r == 0 ? S_OK : E_FAIL;
}

HRESULT V4l2CaptureFilter::currentInput(int32_t& index) {
  int i = -1;
  index = -1;
  if (controlIoctl(VIDIOC_G_INPUT, &i) != 0) return E_FAIL;
  for (size_t k = 0; k < info_.inputs.size(); ++k)
    if (static_cast<int>(info_.inputs[k].index) == i) index = static_cast<int32_t>(k);
  return index >= 0 ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------------------------------------
// State changes (user-interface thread).

HRESULT V4l2CaptureFilter::onPause() {
  CapturePin* cap = capturePin();
  CapturePin* pre = previewPin();
  const BasePin* active = cap->isConnected() ? cap : pre->isConnected() ? pre : nullptr;
  if (!active) return S_OK;  // nothing to capture for
  if (lost_.load()) return VFW_E_DEVICE_LOST;
  const auto* format = findFormat(formats_, active->currentMediaType());
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;

  const std::string node = path();
  auto s = std::make_unique<Session>();
  s->kernel = kernel_;
  s->format = *format;
  s->fd = kernel_->open(node, O_RDWR | O_NONBLOCK);
  if (s->fd < 0) {
    reportError(node, s->fd);
    return isGone(s->fd) ? VFW_E_DEVICE_LOST : E_FAIL;
  }
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f.fmt.pix.width = format->width;
  f.fmt.pix.height = format->height;
  f.fmt.pix.pixelformat = format->pixelformat;
  f.fmt.pix.field = V4L2_FIELD_ANY;
  if (int r = kernel_->ioctl(s->fd, VIDIOC_S_FMT, &f); r != 0) {
    reportError(node + ": VIDIOC_S_FMT", r);
    return E_FAIL;
  }
  const bool stream = format->type.majortype == MEDIATYPE_Stream;
  if (f.fmt.pix.pixelformat != format->pixelformat ||
      (!stream && (f.fmt.pix.width != format->width || f.fmt.pix.height != format->height))) {
    reportError(node + ": the driver did not take " + fourccText(format->pixelformat) + " " +
                    std::to_string(format->width) + "x" + std::to_string(format->height) + " (it answered " +
                    fourccText(f.fmt.pix.pixelformat) + " " + std::to_string(f.fmt.pix.width) + "x" +
                    std::to_string(f.fmt.pix.height) + ")",
                0);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  s->bytesPerLine = f.fmt.pix.bytesperline;
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parm.parm.capture.timeperframe.numerator = format->intervalNumerator;
  parm.parm.capture.timeperframe.denominator = format->intervalDenominator;
  kernel_->ioctl(s->fd, VIDIOC_S_PARM, &parm);  // drivers without frame-rate control keep theirs

  v4l2_requestbuffers rb{};
  rb.count = kBufferCount;
  rb.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  rb.memory = V4L2_MEMORY_MMAP;
  if (int r = kernel_->ioctl(s->fd, VIDIOC_REQBUFS, &rb); r != 0) {
    reportError(node + ": VIDIOC_REQBUFS", r);
    return E_FAIL;
  }
  if (rb.count < 2 || rb.count > 32) {
    reportError(node + ": the driver gave " + std::to_string(rb.count) + " capture buffers", 0);
    return E_FAIL;
  }
  for (uint32_t i = 0; i < rb.count; ++i) {
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = i;
    if (int r = kernel_->ioctl(s->fd, VIDIOC_QUERYBUF, &b); r != 0) {
      reportError(node + ": VIDIOC_QUERYBUF", r);
      return E_FAIL;
    }
    int error = 0;
    void* p = kernel_->mmap(b.length, s->fd, static_cast<off_t>(b.m.offset), error);
    if (!p) {
      reportError(node + ": mmap", -error);
      return E_FAIL;
    }
    s->buffers.push_back({p, b.length});
    if (int r = kernel_->ioctl(s->fd, VIDIOC_QBUF, &b); r != 0) {
      reportError(node + ": VIDIOC_QBUF", r);
      return E_FAIL;
    }
  }
  session_ = std::move(s);
  return S_OK;
}

HRESULT V4l2CaptureFilter::onRun(REFERENCE_TIME) {
  if (!session_) return S_OK;
  if (!session_->streaming) {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (int r = kernel_->ioctl(session_->fd, VIDIOC_STREAMON, &type); r != 0) {
      reportError(path() + ": VIDIOC_STREAMON", r);
      if (isGone(r)) setDeviceLost();
      return E_FAIL;
    }
    session_->streaming = true;
    session_->haveBase = false;
    session_->lastSequence = -1;
    session_->queued = session_->buffers.size();
  }
  session_->thread.start([this](StreamingThread& t) { stream(t); });
  return S_OK;
}

void V4l2CaptureFilter::haltStreaming() {
  if (session_) session_->stopStreaming();
}

HRESULT V4l2CaptureFilter::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  if (!lost_.load()) return BaseFilter::EnumPins(pins);
  pins = visiblePins(pins_, true);
  return S_OK;
}

HRESULT V4l2CaptureFilter::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT V4l2CaptureFilter::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT V4l2CaptureFilter::onStop() {
  teardown();
  return S_OK;
}

void V4l2CaptureFilter::teardown() { session_.reset(); }

// ---------------------------------------------------------------------------------------------
// Streaming thread. Uses the session (which the user-interface thread keeps until it has joined
// this thread), the pins' connections (fixed while running) and atomics only.

void V4l2CaptureFilter::stream(StreamingThread& thread) {
  Session& s = *session_;
  const std::string node = path();
  int errors = 0;  // in a row
  std::string failing;
  int lastError = 0;
  bool gone = false;
  while (!thread.stopRequested() && !lost_.load()) {
    short revents = 0;
    int r = kernel_->poll(s.fd, POLLIN, revents, kPollMs);
    if (r == 0) continue;
    if (r < 0) {
      if (isGone(r)) {
        gone = true;
        break;
      }
      failing = "poll", lastError = r;
      if (++errors > kMaxConsecutiveErrors) break;
      continue;
    }
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    r = kernel_->ioctl(s.fd, VIDIOC_DQBUF, &b);
    if (r == -EAGAIN) {
      // Ready but no buffer: an error condition (POLLERR) that persists means a dead device.
      if (revents & (POLLERR | POLLHUP)) {
        failing = "poll (the driver reports an error condition)", lastError = 0;
        if (++errors > kMaxConsecutiveErrors) break;
      }
      continue;
    }
    if (r != 0) {
      if (isGone(r)) {
        gone = true;
        break;
      }
      failing = "VIDIOC_DQBUF", lastError = r;
      if (++errors > kMaxConsecutiveErrors) break;
      continue;
    }
    errors = 0;
    if (s.queued > 0) --s.queued;
    // Gaps in the driver's numbering are frames it lost; a frame we lose below is counted there.
    const int64_t seq = b.sequence;
    if (s.lastSequence >= 0 && seq > s.lastSequence + 1) dropped_.fetch_add(seq - s.lastSequence - 1);
    s.lastSequence = seq;
    if (b.index >= s.buffers.size()) {
      // A buffer we never mapped: nothing sane to read or requeue. The driver has one less.
      dropped_.fetch_add(1);
      if (!s.saidBadIndex)
        reportError(node + ": the driver returned capture buffer " + std::to_string(b.index) + " of " +
                        std::to_string(s.buffers.size()),
                    0);
      s.saidBadIndex = true;
      if (s.queued > 0) continue;
      failing = "VIDIOC_DQBUF (no capture buffer left)", lastError = 0;
      break;
    }

    REFERENCE_TIME now = streamTime();
    REFERENCE_TIME start = now;
    const bool monotonic = (b.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    if (monotonic && (b.timestamp.tv_sec || b.timestamp.tv_usec)) {
      const REFERENCE_TIME k =
          REFERENCE_TIME(b.timestamp.tv_sec) * UNITS + REFERENCE_TIME(b.timestamp.tv_usec) * 10;
      if (!s.haveBase) {
        // The frame was captured `age` ago on the kernel's monotonic clock.
        REFERENCE_TIME age = SystemClock::now() - k;
        if (age < 0 || age > UNITS / 2) age = 0;
        age = std::min(age, now);  // nothing is stamped before the stream started
        s.base = now - age;
        s.firstKernelTime = k;
        s.haveBase = true;
      }
      start = s.base + (k - s.firstKernelTime);
      if (std::llabs(start - now) > UNITS) {  // the driver's clock jumped: follow the graph's
        s.base = now;
        s.firstKernelTime = k;
        start = now;
      }
    }

    if (b.flags & V4L2_BUF_FLAG_ERROR) {
      dropped_.fetch_add(1);
    } else {
      const auto& buf = s.buffers[b.index];
      uint32_t used = std::min<uint32_t>(b.bytesused ? b.bytesused : static_cast<uint32_t>(buf.length),
                                         static_cast<uint32_t>(buf.length));
      deliverFrame(static_cast<const uint8_t*>(buf.address), used, s.bytesPerLine, b.sequence, start);
    }
    r = kernel_->ioctl(s.fd, VIDIOC_QBUF, &b);
    if (r == 0) {
      ++s.queued;
    } else if (isGone(r)) {
      gone = true;
      break;
    } else if (s.queued == 0) {
      // Every buffer the driver refused back: nothing will ever come again.
      failing = "VIDIOC_QBUF", lastError = r;
      break;
    }
  }
  if (thread.stopRequested() || lost_.load()) return;
  if (gone) {
    setDeviceLost();
    return;
  }
  // Persistent errors: stop capturing and tell the graph, rather than spin.
  reportError(node + ": capture stopped after repeated errors on " + failing, lastError);
  NotifyEvent(GraphEvent{EC_ERRORABORT, E_FAIL, 0, nullptr});
}

void V4l2CaptureFilter::deliverFrame(const uint8_t* data, uint32_t used, uint32_t bytesPerLine,
                                     uint32_t sequence, REFERENCE_TIME start) {
  const V4l2MediaFormat& format = session_->format;
  const REFERENCE_TIME interval =
      format.type.averageTimePerFrame() > 0 ? format.type.averageTimePerFrame() : 0;
  REFERENCE_TIME stop = start + interval;
  int64_t m0 = sequence, m1 = int64_t(sequence) + 1;
  auto fill = [&](const std::shared_ptr<MediaSample>& sample) {
    const int32_t n = copyFrame(format, data, used, bytesPerLine, sample->data(), sample->GetSize());
    if (n < 0) return false;
    sample->SetActualDataLength(n);
    if (interval)
      sample->SetTime(&start, &stop);
    else
      sample->SetTime(&start, nullptr);
    sample->SetMediaTime(&m0, &m1);
    sample->SetSyncPoint(true);
    return true;
  };
  CapturePin* cap = capturePin();
  if (cap->isConnected()) {
    std::shared_ptr<MediaSample> sample;
    if (FAILED(cap->GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) || !sample) {
      dropped_.fetch_add(1);  // the branch is late: lose this frame rather than wait
    } else if (!fill(sample)) {
      dropped_.fetch_add(1);  // a short or broken frame from the driver
    } else {
      delivered_.fetch_add(1);
      bytes_.fetch_add(sample->GetActualDataLength());
      cap->Deliver(sample);
    }
  }
  CapturePin* pre = previewPin();
  if (pre->isConnected()) {
    // The preview may lose frames without counting them: it is not the recording.
    std::shared_ptr<MediaSample> sample;
    if (SUCCEEDED(pre->GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) && sample && fill(sample))
      pre->Deliver(sample);
  }
}

// ---------------------------------------------------------------------------------------------
// Controls (any thread).

HRESULT V4l2CaptureFilter::controlRange(uint32_t cid, int32_t& min, int32_t& max, int32_t& step,
                                        int32_t& deflt, bool& hasAuto) {
  for (const auto& c : info_.controls) {
    if (c.id != cid) continue;
    min = c.minimum;
    max = c.maximum;
    step = c.step;
    deflt = c.defaultValue;
    hasAuto = c.hasAuto;
    return S_OK;
  }
  return E_PROP_ID_UNSUPPORTED;
}

HRESULT V4l2CaptureFilter::setControl(uint32_t cid, int32_t value, int32_t flags) {
  int32_t min, max, step, deflt;
  bool hasAuto = false;
  if (HRESULT hr = controlRange(cid, min, max, step, deflt, hasAuto); FAILED(hr)) return hr;
  const AutoControl a = autoControlOf(cid);
  if ((flags & VideoProcAmp_Flags_Auto) && hasAuto) {
    for (int32_t on : a.on) {
      v4l2_control c{a.id, on};
      if (controlIoctl(VIDIOC_S_CTRL, &c) == 0) return S_OK;
    }
    return E_FAIL;
  }
  if (value < min || value > max) return E_INVALIDARG;
  if (hasAuto) {
    v4l2_control off{a.id, a.off};
    controlIoctl(VIDIOC_S_CTRL, &off);  // a manual value needs the automatic mode off
  }
  v4l2_control c{cid, value};
  const int r = controlIoctl(VIDIOC_S_CTRL, &c);
  if (r == 0) return S_OK;
  if (r != -EACCES) reportError(path() + ": VIDIOC_S_CTRL", r);
  return E_FAIL;
}

HRESULT V4l2CaptureFilter::getControl(uint32_t cid, int32_t& value, int32_t& flags) {
  int32_t min, max, step, deflt;
  bool hasAuto = false;
  if (HRESULT hr = controlRange(cid, min, max, step, deflt, hasAuto); FAILED(hr)) return hr;
  v4l2_control c{cid, 0};
  if (controlIoctl(VIDIOC_G_CTRL, &c) != 0) return E_FAIL;
  value = c.value;
  flags = VideoProcAmp_Flags_Manual;
  if (hasAuto) {
    const AutoControl a = autoControlOf(cid);
    v4l2_control ac{a.id, 0};
    if (controlIoctl(VIDIOC_G_CTRL, &ac) == 0 && ac.value != a.off) flags = VideoProcAmp_Flags_Auto;
  }
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step,
                                    int32_t& deflt, int32_t& flags) {
  const uint32_t cid = procAmpControl(property);
  if (!cid) return E_PROP_ID_UNSUPPORTED;
  bool hasAuto = false;
  HRESULT hr = controlRange(cid, min, max, step, deflt, hasAuto);
  if (SUCCEEDED(hr)) flags = VideoProcAmp_Flags_Manual | (hasAuto ? VideoProcAmp_Flags_Auto : 0);
  return hr;
}

HRESULT V4l2CaptureFilter::Set(int32_t property, int32_t value, int32_t flags) {
  const uint32_t cid = procAmpControl(property);
  return cid ? setControl(cid, value, flags) : E_PROP_ID_UNSUPPORTED;
}

HRESULT V4l2CaptureFilter::Get(int32_t property, int32_t& value, int32_t& flags) {
  const uint32_t cid = procAmpControl(property);
  return cid ? getControl(cid, value, flags) : E_PROP_ID_UNSUPPORTED;
}

HRESULT V4l2CaptureFilter::cameraGetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step,
                                          int32_t& deflt, int32_t& flags) {
  const uint32_t cid = cameraControlId(property);
  if (!cid) return E_PROP_ID_UNSUPPORTED;
  bool hasAuto = false;
  HRESULT hr = controlRange(cid, min, max, step, deflt, hasAuto);
  if (FAILED(hr)) return hr;
  const int32_t lo = toCameraUnits(cid, min), hi = toCameraUnits(cid, max);
  min = std::min(lo, hi);
  max = std::max(lo, hi);
  deflt = std::clamp(toCameraUnits(cid, deflt), min, max);
  step = std::max(1, toCameraUnits(cid, step) - toCameraUnits(cid, 0));
  if (cid == V4L2_CID_EXPOSURE_ABSOLUTE) step = 1;
  flags = CameraControl_Flags_Manual | (hasAuto ? CameraControl_Flags_Auto : 0);
  return S_OK;
}

HRESULT V4l2CaptureFilter::cameraSet(int32_t property, int32_t value, int32_t flags) {
  const uint32_t cid = cameraControlId(property);
  if (!cid) return E_PROP_ID_UNSUPPORTED;
  int32_t min, max, step, deflt, f;
  if (HRESULT hr = cameraGetRange(property, min, max, step, deflt, f); FAILED(hr)) return hr;
  if (!(flags & CameraControl_Flags_Auto) && (value < min || value > max)) return E_INVALIDARG;
  int32_t rmin, rmax, rstep, rdeflt;
  bool hasAuto;
  controlRange(cid, rmin, rmax, rstep, rdeflt, hasAuto);
  const int32_t raw = std::clamp(fromCameraUnits(cid, value), rmin, rmax);
  return setControl(cid, raw, flags);
}

HRESULT V4l2CaptureFilter::cameraGet(int32_t property, int32_t& value, int32_t& flags) {
  const uint32_t cid = cameraControlId(property);
  if (!cid) return E_PROP_ID_UNSUPPORTED;
  int32_t raw = 0;
  HRESULT hr = getControl(cid, raw, flags);
  if (SUCCEEDED(hr)) value = toCameraUnits(cid, raw);
  return hr;
}

HRESULT V4l2CaptureFilter::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}
HRESULT V4l2CaptureFilter::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}
HRESULT V4l2CaptureFilter::GetAverageFrameSize(int32_t& size) {
  const int64_t n = delivered_.load();
  size = n ? static_cast<int32_t>(bytes_.load() / n) : 0;
  return S_OK;
}

}  // namespace vistrel::platform::devices::v4l2
