#pragma once
// Filters and devices of the sources tests: a filter with pins described by a table, a crossbar
// with a table of inputs and outputs, and devices registered in a device category of the mapper
// for the duration of a test (the system device enumerator lists them like plugged devices).
#include <functional>
#include <memory>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IAMCrossbar.h"
#include "platform/media/MediaType.h"

namespace vistrel::sources::testing {

struct PinSpec {
  platform::media::PIN_DIRECTION dir = platform::media::PINDIR_OUTPUT;
  platform::media::MediaType type;  // offered by an output; accepted (as a pattern) by an input
  platform::media::GUID category{};
};

// Pins in table order; nothing streams.
class TableFilter : public platform::media::BaseFilter {
 public:
  explicit TableFilter(const std::vector<PinSpec>& pins,
                       const QString& name = QStringLiteral("Table Filter"));
  static std::shared_ptr<TableFilter> create(const std::vector<PinSpec>& pins) {
    return std::make_shared<TableFilter>(pins);
  }
};

struct CrossbarPinSpec {
  int32_t physicalType = 0;
  int32_t related = -1;
};

// A crossbar: inputs first, then outputs, all of analogue types. canRoute[output][input].
class TestCrossbar : public platform::media::BaseFilter, public platform::media::IAMCrossbar {
 public:
  TestCrossbar(std::vector<CrossbarPinSpec> inputs, std::vector<CrossbarPinSpec> outputs,
               std::vector<std::vector<bool>> canRoute);
  static std::shared_ptr<TestCrossbar> create(std::vector<CrossbarPinSpec> inputs,
                                              std::vector<CrossbarPinSpec> outputs,
                                              std::vector<std::vector<bool>> canRoute) {
    return std::make_shared<TestCrossbar>(std::move(inputs), std::move(outputs), std::move(canRoute));
  }

  platform::media::HRESULT get_PinCounts(int32_t& outputs, int32_t& inputs) override;
  platform::media::HRESULT CanRoute(int32_t output, int32_t input) override;
  platform::media::HRESULT Route(int32_t output, int32_t input) override;
  platform::media::HRESULT get_IsRoutedTo(int32_t output, int32_t& input) override;
  platform::media::HRESULT get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                               int32_t& physicalType) override;

  // Every Route request as (output, input), in order.
  std::vector<std::pair<int32_t, int32_t>> routed;
  // Shared log across crossbars: (crossbar tag, output, input).
  std::vector<std::tuple<int, int32_t, int32_t>>* log = nullptr;
  int tag = 0;
  bool failPinCounts = false;
  bool failPinInfo = false;

 private:
  std::vector<CrossbarPinSpec> inputs_, outputs_;
  std::vector<std::vector<bool>> canRoute_;
  std::vector<int32_t> routedTo_;
};

// Pin n of a filter.
std::shared_ptr<platform::media::IPin> PinAt(const std::shared_ptr<platform::media::IBaseFilter>& f, int n);

// A device of a category for the life of the object; each has its own class id.
class RegisteredDevice {
 public:
  RegisteredDevice(const platform::media::GUID& category, const QString& name,
                   std::function<std::shared_ptr<platform::media::IBaseFilter>()> make);
  ~RegisteredDevice();
  RegisteredDevice(const RegisteredDevice&) = delete;
  RegisteredDevice& operator=(const RegisteredDevice&) = delete;
  std::shared_ptr<platform::media::IMoniker> moniker() const;
  void unplug();

 private:
  platform::media::FilterRegistration registration_;
  bool registered_ = false;
};

}  // namespace vistrel::sources::testing
