#pragma once
// Crossbar routing: the crossbar devices of the machine, and the routes from the physical
// connectors through a chain of crossbars to a capture filter's analogue video input.
// User-interface thread only.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>
#include "platform/media/IAMCrossbar.h"
#include "platform/media/IMoniker.h"
#include "platform/media/IPin.h"

namespace vistrel::sources {

// The text shown for a physical connector type ("Video Tuner"...; "Inconnu" for others).
QString PhysicalTypeName(int32_t physicalType);

struct TmonikerClass {
  std::shared_ptr<platform::media::IMoniker> Moniker;
};

// The monikers of the crossbar category, in the enumerator's order.
class TMonikerList {
 public:
  void Populate();
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Null outside 0..Count()-1.
  std::shared_ptr<platform::media::IMoniker> Items(int index) const;
  void Add(std::shared_ptr<platform::media::IMoniker> moniker) { items_.push_back({std::move(moniker)}); }

 private:
  std::vector<TmonikerClass> items_;
};

// One crossbar on a route.
struct TCrRouting {
  TCrRouting* Deeper = nullptr;  // towards the connector
  TCrRouting* Nearer = nullptr;  // towards the capture filter
  int32_t InputIndex = 0;
  int32_t OutputIndex = 0;
  int32_t RelatedInputIndex = -1;
  int32_t RelatedOutputIndex = -1;
  std::shared_ptr<platform::media::IAMCrossbar> Crossbar;
  int32_t InputPhysicalType = 0;
  int32_t OutputPhysicalType = 0;
  int32_t Depth = 0;
};

// One complete route: element 0 is the outermost crossbar, the last feeds the capture filter.
// The elements' Deeper/Nearer links point into the same array.
using TRouteArray = std::vector<TCrRouting>;

class TCrossbar {
 public:
  // `startPin`: an input pin of a capture filter.
  explicit TCrossbar(const std::shared_ptr<platform::media::IPin>& startPin);
  ~TCrossbar();
  TCrossbar(const TCrossbar&) = delete;
  TCrossbar& operator=(const TCrossbar&) = delete;

  int InputCount() const { return static_cast<int>(routes_.size()); }
  // E_FAIL outside 0..InputCount()-1.
  platform::media::HRESULT InputType(int index, int32_t& physicalType) const;
  platform::media::HRESULT InputName(int index, QString& name) const;
  // Routes every crossbar of the route, outer first, with the related (audio) pair after each
  // video pair when both related indexes are set. E_FAIL out of range, else the last result.
  platform::media::HRESULT RouteInput(int index);
  const std::vector<TRouteArray>& Routes() const { return routes_; }

  // S_OK, S_FALSE (the pin is a connector end) or E_FAIL.
  platform::media::HRESULT ListInputs(const std::shared_ptr<platform::media::IPin>& pin, TCrRouting* node,
                                      int32_t depth);
  void AddRoute(const TCrRouting& node);
  void ClearRoutes();

  static platform::media::HRESULT PinAtIndex(const std::shared_ptr<platform::media::IAMCrossbar>& crossbar,
                                             int32_t index, bool isInput,
                                             std::shared_ptr<platform::media::IPin>& pin);
  // The index or -1 (E_FAIL) when the pin is not the crossbar's.
  static platform::media::HRESULT IndexOfPin(const std::shared_ptr<platform::media::IAMCrossbar>& crossbar,
                                             const std::shared_ptr<platform::media::IPin>& pin, bool isInput,
                                             int32_t& index);

 private:
  std::unique_ptr<TCrRouting> root_;
  std::vector<TRouteArray> routes_;
};

}  // namespace vistrel::sources
