#include "engine/GraphEvents.h"

#include "platform/media/GraphEvent.h"

namespace vistrel::engine {

using namespace platform::media;

TGraphEvents::TGraphEvents(std::shared_ptr<FilterGraph> graph, QObject* parent)
    : QObject(parent), graph_(std::move(graph)) {
  window_ = platform::ui::registerWindow(this);
  if (graph_) graph_->SetNotifyWindow(window_, kGraphNotify, 0);
}

TGraphEvents::~TGraphEvents() {
  if (graph_) graph_->SetNotifyWindow(0, 0, 0);
  platform::ui::unregisterWindow(window_);
}

bool TGraphEvents::event(QEvent* e) {
  if (e->type() == platform::ui::WindowMessageEvent::eventType()) {
    if (static_cast<platform::ui::WindowMessageEvent*>(e)->message() == kGraphNotify) Drain();
    return true;
  }
  return QObject::event(e);
}

void TGraphEvents::Drain() {
  if (!graph_) return;
  GraphEvent ev;
  // A handler may rebuild the graph and so raise new events: those are handled in this loop too.
  while (graph_->GetEvent(ev, 0) == S_OK) {
    const int32_t code = ev.code;
    const auto device = ev.object;
    const bool removed = ev.param2 == 0;
    const intptr_t result = ev.param1;
    graph_->FreeEventParams(ev);
    // Copies: a handler may replace itself.
    if (code == EC_DEVICE_LOST && OnGraphDeviceLost) {
      const auto handler = OnGraphDeviceLost;
      handler(this, device, removed);
    } else if ((code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED) && OnGraphError) {
      const auto handler = OnGraphError;
      handler(code, result);
    }
    ev = GraphEvent{};
  }
}

}  // namespace vistrel::engine
