#include "sources/SourceTestFilters.h"

#include <algorithm>
#include <atomic>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::sources::testing {

using namespace platform::media;

namespace {

class TableInput : public BaseInputPin {
 public:
  TableInput(BaseFilter* f, QString name, MediaType pattern, const GUID& category)
      : BaseInputPin(f, std::move(name), category), pattern_(std::move(pattern)) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.matches(pattern_) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return S_OK; }

 private:
  MediaType pattern_;
};

class TableOutput : public BaseOutputPin {
 public:
  TableOutput(BaseFilter* f, QString name, MediaType type, const GUID& category)
      : BaseOutputPin(f, std::move(name), category), type_(std::move(type)) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.matches(type_) || type_.matches(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = std::max(request.cBuffers, 1);
    request.cbBuffer = std::max(request.cbBuffer, 4096);
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(request, actual);
  }

 private:
  MediaType type_;
};

const GUID kTestFilterClsid = makeGuid("{6B1F0A20-2E55-4A8C-9D3E-7F0C5E1A0001}");
const GUID kTestCrossbarClsid = makeGuid("{6B1F0A20-2E55-4A8C-9D3E-7F0C5E1A0002}");

MediaType analogVideo() { return MediaType(MEDIATYPE_AnalogVideo, GUID_NULL, FORMAT_None); }

}  // namespace

TableFilter::TableFilter(const std::vector<PinSpec>& pins, const QString& name)
    : BaseFilter(kTestFilterClsid, name) {
  int n = 0;
  for (const PinSpec& p : pins) {
    const QString pinName = QStringLiteral("Pin %1").arg(n++);
    if (p.dir == PINDIR_INPUT)
      addPin(std::make_shared<TableInput>(this, pinName, p.type, p.category));
    else
      addPin(std::make_shared<TableOutput>(this, pinName, p.type, p.category));
  }
}

TestCrossbar::TestCrossbar(std::vector<CrossbarPinSpec> inputs, std::vector<CrossbarPinSpec> outputs,
                           std::vector<std::vector<bool>> canRoute)
    : BaseFilter(kTestCrossbarClsid, QStringLiteral("Test Crossbar")),
      inputs_(std::move(inputs)),
      outputs_(std::move(outputs)),
      canRoute_(std::move(canRoute)),
      routedTo_(outputs_.size(), -1) {
  for (size_t i = 0; i < inputs_.size(); ++i)
    addPin(std::make_shared<TableInput>(this, QStringLiteral("In %1").arg(i),
                                        MediaType(MEDIATYPE_AnalogVideo, GUID_NULL), GUID_NULL));
  for (size_t i = 0; i < outputs_.size(); ++i)
    addPin(std::make_shared<TableOutput>(this, QStringLiteral("Out %1").arg(i), analogVideo(), GUID_NULL));
}

HRESULT TestCrossbar::get_PinCounts(int32_t& outputs, int32_t& inputs) {
  if (failPinCounts) return E_FAIL;
  outputs = static_cast<int32_t>(outputs_.size());
  inputs = static_cast<int32_t>(inputs_.size());
  return S_OK;
}

HRESULT TestCrossbar::CanRoute(int32_t output, int32_t input) {
  if (output < 0 || input < 0 || size_t(output) >= outputs_.size() || size_t(input) >= inputs_.size())
    return E_INVALIDARG;
  return canRoute_[size_t(output)][size_t(input)] ? S_OK : S_FALSE;
}

HRESULT TestCrossbar::Route(int32_t output, int32_t input) {
  routed.emplace_back(output, input);
  if (log) log->emplace_back(tag, output, input);
  if (CanRoute(output, input) != S_OK) return E_FAIL;
  routedTo_[size_t(output)] = input;
  return S_OK;
}

HRESULT TestCrossbar::get_IsRoutedTo(int32_t output, int32_t& input) {
  if (output < 0 || size_t(output) >= outputs_.size()) return E_INVALIDARG;
  input = routedTo_[size_t(output)];
  return S_OK;
}

HRESULT TestCrossbar::get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                          int32_t& physicalType) {
  if (failPinInfo) return E_FAIL;
  const auto& list = isInput ? inputs_ : outputs_;
  if (index < 0 || size_t(index) >= list.size()) return E_INVALIDARG;
  related = list[size_t(index)].related;
  physicalType = list[size_t(index)].physicalType;
  return S_OK;
}

std::shared_ptr<IPin> PinAt(const std::shared_ptr<IBaseFilter>& f, int n) {
  std::shared_ptr<IEnumPins> e;
  if (!f || FAILED(f->EnumPins(e))) return nullptr;
  const auto& all = e->all();
  return n >= 0 && size_t(n) < all.size() ? all[size_t(n)] : nullptr;
}

namespace {
std::atomic<uint32_t> nextDevice{1};
}

RegisteredDevice::RegisteredDevice(const GUID& category, const QString& name,
                                   std::function<std::shared_ptr<IBaseFilter>()> make) {
  registration_.clsid = makeGuid("{6B1F0A20-2E55-4A8C-9D3E-7F0C5E1A1000}");
  registration_.clsid.Data1 += nextDevice.fetch_add(1);
  registration_.name = name;
  registration_.merit = MERIT_DO_NOT_USE;
  registration_.category = category;
  registration_.create = std::move(make);
  FilterMapper::instance()->RegisterFilter(registration_);
  registered_ = true;
}

RegisteredDevice::~RegisteredDevice() { unplug(); }

void RegisteredDevice::unplug() {
  if (registered_) FilterMapper::instance()->UnregisterFilter(registration_.clsid);
  registered_ = false;
}

std::shared_ptr<IMoniker> RegisteredDevice::moniker() const {
  return FilterMapper::instance()->monikerFor(registration_);
}

}  // namespace vistrel::sources::testing
