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
    graph_->FreeEventParams(ev);
    if (code == EC_DEVICE_LOST && OnGraphDeviceLost) {
      // A copy: the handler may replace itself.
      const auto handler = OnGraphDeviceLost;
      handler(this, device, removed);
    }
    ev = GraphEvent{};
  }
}

}  // namespace vistrel::engine
