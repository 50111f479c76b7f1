#include "engine/GraphEvents.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/media/GraphEvent.h"

namespace vistrel::engine {
namespace {

using namespace platform::media;

struct Seen {
  std::shared_ptr<Unknown> device;
  bool removed;
};

GraphEvent deviceLost(std::shared_ptr<Unknown> device, bool removed) {
  GraphEvent e;
  e.code = EC_DEVICE_LOST;
  e.object = std::move(device);
  e.param2 = removed ? 0 : 1;
  return e;
}

TEST(GraphEvents, DeviceLossReachesTheHandlerOnTheUserInterfaceThread) {
  auto graph = FilterGraph::create();
  TGraphEvents events(graph);
  std::vector<Seen> seen;
  events.OnGraphDeviceLost = [&](QObject* sender, std::shared_ptr<Unknown> device, bool removed) {
    EXPECT_EQ(sender, &events);
    seen.push_back({std::move(device), removed});
  };
  auto device = std::make_shared<Unknown>();
  GraphEvent other;
  other.code = EC_COMPLETE;
  graph->Notify(other);
  graph->Notify(deviceLost(device, true));
  graph->Notify(deviceLost(device, false));
  // Delivered through the window's messages, not at once.
  EXPECT_TRUE(seen.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].device, device);
  EXPECT_TRUE(seen[0].removed);
  EXPECT_FALSE(seen[1].removed);
}

TEST(GraphEvents, WithoutHandlerEventsAreDrainedAndDropped) {
  auto graph = FilterGraph::create();
  TGraphEvents events(graph);
  graph->Notify(deviceLost(nullptr, true));
  QCoreApplication::processEvents();
  int calls = 0;
  events.OnGraphDeviceLost = [&](QObject*, std::shared_ptr<Unknown>, bool) { ++calls; };
  events.Drain();
  EXPECT_EQ(calls, 0);
  GraphEvent left;
  EXPECT_NE(graph->GetEvent(left, 0), S_OK);
}

TEST(GraphEvents, AHandlerThatRemovesItselfStopsLaterCalls) {
  auto graph = FilterGraph::create();
  TGraphEvents events(graph);
  int calls = 0;
  events.OnGraphDeviceLost = [&](QObject*, std::shared_ptr<Unknown>, bool) {
    ++calls;
    events.OnGraphDeviceLost = nullptr;
  };
  graph->Notify(deviceLost(nullptr, true));
  graph->Notify(deviceLost(nullptr, true));
  events.Drain();
  EXPECT_EQ(calls, 1);
}

TEST(GraphEvents, StreamErrorsReachTheErrorHandler) {
  auto graph = FilterGraph::create();
  TGraphEvents events(graph);
  std::vector<std::pair<int32_t, intptr_t>> errors;
  int lost = 0;
  events.OnGraphError = [&](int32_t code, intptr_t result) { errors.emplace_back(code, result); };
  events.OnGraphDeviceLost = [&](QObject*, std::shared_ptr<Unknown>, bool) { ++lost; };
  GraphEvent abort;
  abort.code = EC_ERRORABORT;
  abort.param1 = static_cast<intptr_t>(E_FAIL);
  graph->Notify(abort);
  GraphEvent complete;
  complete.code = EC_COMPLETE;
  graph->Notify(complete);
  events.Drain();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, EC_ERRORABORT);
  EXPECT_EQ(errors[0].second, static_cast<intptr_t>(E_FAIL));
  EXPECT_EQ(lost, 0);
}

}  // namespace
}  // namespace vistrel::engine
