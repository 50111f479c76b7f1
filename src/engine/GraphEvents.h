#pragma once
// Delivery of the graph's events: the graph notifies a hidden window of this object, which drains
// the pending events on the user-interface thread. The loss (or return) of a capture device and
// the errors that stop a stream have handlers; every other event is drained and dropped.

#include <QObject>
#include <functional>
#include <memory>

#include "platform/media/FilterGraph.h"
#include "platform/ui/PostedMessages.h"

namespace vistrel::engine {

class TGraphEvents : public QObject {
  Q_OBJECT
 public:
  // (sender, device, removed): the device's filter and whether it was removed (false: it came
  // back).
  using DeviceLostHandler =
      std::function<void(QObject* sender, std::shared_ptr<platform::media::Unknown> device, bool removed)>;
  // The message the graph posts to this object's window for each new event.
  static constexpr uint32_t kGraphNotify = platform::ui::WM_USER + 13;

  explicit TGraphEvents(std::shared_ptr<platform::media::FilterGraph> graph, QObject* parent = nullptr);
  ~TGraphEvents() override;

  // The handler of EC_DEVICE_LOST; none removes it (the events are still drained).
  DeviceLostHandler OnGraphDeviceLost;
  // (event code, result code): a filter stopped streaming on an error (EC_ERRORABORT,
  // EC_STREAM_ERROR_STOPPED), such as a writer whose disk is full. None: dropped.
  std::function<void(int32_t code, intptr_t result)> OnGraphError;

  // Handles every pending event now. User-interface thread; also run when the window is notified.
  void Drain();
  platform::ui::WindowHandle window() const { return window_; }

 protected:
  bool event(QEvent* event) override;

 private:
  std::shared_ptr<platform::media::FilterGraph> graph_;
  platform::ui::WindowHandle window_ = 0;
};

}  // namespace vistrel::engine
