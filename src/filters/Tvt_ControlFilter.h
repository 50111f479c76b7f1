#pragma once
// The control filter in the graph ("Orbano vt_ControlFilter"): an in-place one-frame gate for
// image-by-image recording, around ControlGate. At the graph's stop it reopens the gate and then
// calls the stop routine the engine gave it.
//
// Threads: Transform on the video branch's streaming thread; PassOne from the user-interface
// thread at any time; the set-up and the stop on the user-interface thread.

#include <functional>

#include "filters/ControlGate.h"
#include "platform/media/TransInPlaceFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_ControlFilter =
    platform::media::makeGuid("{E1DF0C6D-1C96-4A23-B4E2-F9344DE994A7}");

class Tvt_ControlFilter : public platform::media::TransInPlaceFilter {
 public:
  Tvt_ControlFilter();
  static std::shared_ptr<Tvt_ControlFilter> create() { return std::make_shared<Tvt_ControlFilter>(); }

  // Lets one frame through (each grab).
  void PassOne() { gate_.Open(); }
  void SetRenumber(bool on) { gate_.SetRenumber(on); }
  // The engine's set-up for the image-by-image chain: sync points and discontinuities marked,
  // frames numbered by 1, gate closed, `stopRoutine` called at each stop.
  void SetupImageByImage(std::function<void()> stopRoutine);
  // User-interface thread, graph stopped. None clears it.
  void SetStopRoutine(std::function<void()> routine) { stopRoutine_ = std::move(routine); }
  ControlGate& processing() { return gate_; }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) override;
  platform::media::HRESULT Stop() override;

 private:
  ControlGate gate_;
  std::function<void()> stopRoutine_;
};

}  // namespace vistrel::filters
