// GCC 12 misreads make_shared of the analogue input pin (enable_shared_from_this through a
// virtual base) as an access past the control block; the warning points into <memory>.
#pragma GCC diagnostic ignored "-Warray-bounds"
#include "engine/EngineTestFilters.h"

#include "platform/devices/VirtualDevices.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMCrossbar.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/ISpecifyPropertyPages.h"
#include "platform/media/MemAllocator.h"
#include "platform/media/SystemDeviceEnum.h"

namespace vistrel::testing {

using namespace platform::media;

namespace {

const GUID kScriptedClsid = makeGuid("{7E57CA57-0000-4000-8000-00000000E001}");
const GUID kScriptedPage = makeGuid("{7E57CA57-0000-4000-8000-00000000E002}");

class ScriptedCapture;

class FormatPage : public PropertyPage {
 public:
  FormatPage(QWidget* parent, std::shared_ptr<ScriptedCaptureSpec> spec, MediaType& current)
      : PropertyPage(parent), spec_(std::move(spec)), current_(current) {}
  QString title() const override { return QStringLiteral("Format"); }
  HRESULT apply() override {
    if (spec_->pageChoice) current_ = *spec_->pageChoice;
    return S_OK;
  }

 private:
  std::shared_ptr<ScriptedCaptureSpec> spec_;
  MediaType& current_;
};

class CapturePin : public BaseOutputPin, public IAMStreamConfig, public ISpecifyPropertyPages {
 public:
  CapturePin(BaseFilter* f, std::shared_ptr<ScriptedCaptureSpec> spec)
      : BaseOutputPin(f, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE), spec_(std::move(spec)) {
    if (!spec_->offered.empty()) current_ = spec_->offered.front();
  }
  HRESULT CheckMediaType(const MediaType& t) override {
    for (const auto& o : spec_->offered)
      if (o == t) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    if (pos < 0) return E_INVALIDARG;
    if (pos >= static_cast<int>(spec_->offered.size())) return VFW_S_NO_MORE_ITEMS;
    t = spec_->offered[static_cast<size_t>(pos)];
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES& req) override {
    ALLOCATOR_PROPERTIES want = req, got;
    want.cBuffers = 2;
    want.cbBuffer = 720 * 576 * 3;
    return a.SetProperties(want, got);
  }
  HRESULT SetFormat(const MediaType& type) override {
    current_ = type;
    return S_OK;
  }
  HRESULT GetFormat(MediaType& type) override {
    type = current_;
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = static_cast<int32_t>(spec_->offered.size());
    size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    if (index < 0 || index >= static_cast<int32_t>(spec_->offered.size())) return E_INVALIDARG;
    type = spec_->offered[static_cast<size_t>(index)];
    caps.assign(sizeof(VIDEO_STREAM_CONFIG_CAPS), 0);
    return S_OK;
  }
  HRESULT GetPages(std::vector<GUID>& pages) override {
    pages.clear();
    if (spec_->withPages) pages.push_back(kScriptedPage);
    return S_OK;
  }
  PropertyPage* CreatePage(const GUID& page, QWidget* parent) override {
    if (page != kScriptedPage) return nullptr;
    return new FormatPage(parent, spec_, current_);
  }

 private:
  std::shared_ptr<ScriptedCaptureSpec> spec_;
  MediaType current_;
};

const MediaType kAnalog(MEDIATYPE_AnalogVideo, GUID_NULL, FORMAT_None);

class AnalogIn : public BaseInputPin {
 public:
  explicit AnalogIn(BaseFilter* f)
      : BaseInputPin(f, QStringLiteral("Analog Video In"), PIN_CATEGORY_ANALOGVIDEOIN), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    return t.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return owner_ ? S_OK : E_FAIL; }

 private:
  BaseFilter* owner_;
};

// Out of line: GCC 12 misreads the inlined make_shared of this pin as an out-of-bounds access.
[[gnu::noinline]] std::shared_ptr<BasePin> makeAnalogIn(BaseFilter* f) {
  return std::make_shared<AnalogIn>(f);
}

class ScriptedCapture : public BaseFilter {
 public:
  explicit ScriptedCapture(std::shared_ptr<ScriptedCaptureSpec> spec)
      : BaseFilter(kScriptedClsid, QStringLiteral("Scripted capture")) {
    if (spec->analogInput) addPin(makeAnalogIn(this));
    addPin(std::make_shared<CapturePin>(this, std::move(spec)));
  }
};

const GUID kCrossbarClsid = makeGuid("{7E57CA57-0000-4000-8000-00000000E003}");

class ConnectorIn : public BaseInputPin {
 public:
  ConnectorIn(BaseFilter* f, int i) : BaseInputPin(f, QStringLiteral("In %1").arg(i)) {}
  HRESULT CheckMediaType(const MediaType&) override { return VFW_E_TYPE_NOT_ACCEPTED; }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return S_OK; }
};

class CrossbarOut : public BaseOutputPin {
 public:
  explicit CrossbarOut(BaseFilter* f) : BaseOutputPin(f, QStringLiteral("Video Decoder Out")) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    return t.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    if (pos < 0) return E_INVALIDARG;
    if (pos > 0) return VFW_S_NO_MORE_ITEMS;
    t = kAnalog;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES& req) override {
    ALLOCATOR_PROPERTIES want = req, got;
    want.cBuffers = 1;
    want.cbBuffer = 1;
    return a.SetProperties(want, got);
  }
};

class ScriptedCrossbar : public BaseFilter, public IAMCrossbar {
 public:
  explicit ScriptedCrossbar(std::shared_ptr<ScriptedCrossbarSpec> spec)
      : BaseFilter(kCrossbarClsid, QStringLiteral("Scripted crossbar")), spec_(std::move(spec)) {
    for (size_t i = 0; i < spec_->inputs.size(); ++i) addPin(std::make_shared<ConnectorIn>(this, int(i)));
    addPin(std::make_shared<CrossbarOut>(this));
  }
  HRESULT get_PinCounts(int32_t& outputs, int32_t& inputs) override {
    outputs = 1;
    inputs = static_cast<int32_t>(spec_->inputs.size());
    return S_OK;
  }
  HRESULT CanRoute(int32_t output, int32_t input) override {
    if (output != 0 || input < 0 || input >= int32_t(spec_->inputs.size())) return E_INVALIDARG;
    return S_OK;
  }
  HRESULT Route(int32_t output, int32_t input) override {
    if (FAILED(CanRoute(output, input))) return E_INVALIDARG;
    spec_->routes.emplace_back(output, input);
    routed_ = input;
    return S_OK;
  }
  HRESULT get_IsRoutedTo(int32_t output, int32_t& input) override {
    if (output != 0) return E_INVALIDARG;
    input = routed_;
    return S_OK;
  }
  HRESULT get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related, int32_t& physicalType) override {
    related = -1;
    if (!isInput) {
      if (index != 0) return E_INVALIDARG;
      physicalType = PhysConn_Video_VideoDecoder;
      return S_OK;
    }
    if (index < 0 || index >= int32_t(spec_->inputs.size())) return E_INVALIDARG;
    physicalType = spec_->inputs[size_t(index)];
    return S_OK;
  }

 private:
  std::shared_ptr<ScriptedCrossbarSpec> spec_;
  int32_t routed_ = -1;
};

}  // namespace

std::shared_ptr<IMoniker> ScriptedCaptureMoniker(const QString& name,
                                                 std::shared_ptr<ScriptedCaptureSpec> spec) {
  return std::make_shared<FilterMoniker>(QStringLiteral("@scripted:") + name, name, kScriptedClsid, [spec] {
    auto f = std::make_shared<ScriptedCapture>(spec);
    spec->last = f;
    return std::static_pointer_cast<IBaseFilter>(f);
  });
}

std::shared_ptr<IMoniker> ScriptedCrossbarMoniker(std::shared_ptr<ScriptedCrossbarSpec> spec) {
  return std::make_shared<FilterMoniker>(
      QStringLiteral("@scripted:crossbar"), QStringLiteral("Scripted crossbar"), kCrossbarClsid,
      [spec] { return std::static_pointer_cast<IBaseFilter>(std::make_shared<ScriptedCrossbar>(spec)); });
}

VirtualDeviceSet::VirtualDeviceSet(const QByteArray& lines) {
  root_.write(QStringLiteral("devices.txt"), lines);
  qputenv("VISTREL_DEVICES", root_.file(QStringLiteral("devices.txt")).toLocal8Bit());
  platform::devices::VirtualDevices::instance().rescan();
}

VirtualDeviceSet::~VirtualDeviceSet() {
  qputenv("VISTREL_DEVICES", "none");
  platform::devices::VirtualDevices::instance().rescan();
}

std::vector<std::shared_ptr<IMoniker>> VirtualDeviceSet::monikers(const GUID& category) const {
  return SystemDeviceEnum::create()->monikers(category);
}

}  // namespace vistrel::testing
