#pragma once
// A capture filter whose formats, current format and property page the engine tests choose,
// published as a moniker so that a capture device can be made from it, and a test environment
// with a virtual camera and microphone.

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/FilterMoniker.h"
#include "platform/media/MediaType.h"
#include "support/TempRoot.h"

namespace vistrel::testing {

// What a scripted capture filter offers and what its capture pin's property page does.
struct ScriptedCaptureSpec {
  std::vector<platform::media::MediaType> offered;
  bool withPages = false;
  // The format the page's "apply" makes current (when set).
  std::optional<platform::media::MediaType> pageChoice;
  // An "Analog Video In" input pin (PIN_CATEGORY_ANALOGVIDEOIN) that a crossbar can feed.
  bool analogInput = false;
  // The last filter made from the moniker.
  std::weak_ptr<platform::media::BaseFilter> last;
};

// A crossbar with one output (to an analogue video input) and inputs of the given physical
// types, every one routable; the routes asked for are recorded.
struct ScriptedCrossbarSpec {
  std::vector<int32_t> inputs;
  std::vector<std::pair<int32_t, int32_t>> routes;  // (output, input) in the order asked
};

std::shared_ptr<platform::media::IMoniker> ScriptedCrossbarMoniker(
    std::shared_ptr<ScriptedCrossbarSpec> spec);

std::shared_ptr<platform::media::IMoniker> ScriptedCaptureMoniker(const QString& name,
                                                                  std::shared_ptr<ScriptedCaptureSpec> spec);

// VISTREL_DEVICES pointing at a file of this root for the test's life, rescanned; restored to
// "none" afterwards.
class VirtualDeviceSet {
 public:
  explicit VirtualDeviceSet(const QByteArray& lines);
  ~VirtualDeviceSet();
  // The monikers of one category.
  std::vector<std::shared_ptr<platform::media::IMoniker>> monikers(
      const platform::media::GUID& category) const;

 private:
  TempRoot root_;
};

}  // namespace vistrel::testing
