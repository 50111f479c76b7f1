// A plug-in module for the sources tests, built against vistrel/plugin.h alone. The kind is
// chosen at build time:
//   TEST_PLUGIN_NAME          the driver name (no pi_drivername export when undefined)
//   TEST_PLUGIN_LONG_NAME     a 300-character driver name of 'L'
//   TEST_PLUGIN_FAIL_CREATE   pi_create gives no instance
//   TEST_PLUGIN_GARBAGE       names fill the whole buffer without a terminator, counts are negative
// A working module is a camera: one video stream from a source made with vt_source_create,
// through a tee of its own.
#include <atomic>
#include <cstring>
#include <string>

#include "vistrel/plugin.h"

namespace {

vt_component* source = nullptr;
vt_component* tee = nullptr;
std::atomic<int64_t> framesFilled{0};
int destroyed = 0;
std::u16string lastMuxName;

[[maybe_unused]] void copyName(char* buffer, int32_t size, const std::string& name) {
  if (!buffer || size <= 0) return;
  const size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
}

// Streaming thread: frame k is filled with the byte k & 0xFF, so the test can see frames move.
[[maybe_unused]] void fill(void*, uint8_t* rgb, int32_t width, int32_t height, int64_t frameNumber) {
  std::memset(rgb, static_cast<int>(frameNumber & 0xFF), static_cast<size_t>(width) * height * 3);
  framesFilled.fetch_add(1);
}

}  // namespace

extern "C" {

#if defined(TEST_PLUGIN_NAME) || defined(TEST_PLUGIN_LONG_NAME) || defined(TEST_PLUGIN_GARBAGE)
void pi_drivername(char* buffer, int32_t size) {
#if defined(TEST_PLUGIN_GARBAGE)
  std::memset(buffer, 'G', static_cast<size_t>(size));
#elif defined(TEST_PLUGIN_LONG_NAME)
  copyName(buffer, size, std::string(300, 'L'));
#else
  copyName(buffer, size, TEST_PLUGIN_NAME);
#endif
}
#endif

void pi_friendlyname(char* buffer, int32_t size) {
#if defined(TEST_PLUGIN_GARBAGE)
  std::memset(buffer, 'G', static_cast<size_t>(size));
#else
  copyName(buffer, size, "Caméra Module");
#endif
}

void pi_create(vt_instance* instance) {
#if defined(TEST_PLUGIN_FAIL_CREATE)
  *instance = 0;
#else
  source = vt_source_create("Module Source", 160, 120, 25, &fill, nullptr);
  tee = vt_component_create("module tee");
  vt_component_bind_clsid(tee, VT_CLSID_INFTEE);
  *instance = source ? 0x1234 : 0;
#endif
}

void pi_destroy(vt_instance* instance) {
  vt_component_free(tee);
  vt_component_free(source);
  tee = source = nullptr;
  *instance = 0;
  ++destroyed;
}

void pi_sourcefilter(vt_instance*, vt_component** filter) {
#if !defined(TEST_PLUGIN_GARBAGE)
  *filter = source;
#else
  (void)filter;
#endif
}

void pi_nbfluxvideo(vt_instance*, int32_t* count) {
#if defined(TEST_PLUGIN_GARBAGE)
  *count = -7;
#else
  *count = 1;
#endif
}

void pi_nbfluxaudio(vt_instance*, int32_t* count) {
#if defined(TEST_PLUGIN_GARBAGE)
  *count = -1;
#else
  *count = 0;
#endif
}

void pi_setsourcegraph(vt_instance*, vt_component** filter, vt_graph* graph) {
  vt_component_set_graph(source, graph);
  *filter = source;
}

void pi_killsourcegraph(vt_instance*, vt_graph*) {
  vt_component_set_graph(tee, nullptr);
  vt_component_set_graph(source, nullptr);
}

void pi_setvideograph(vt_instance*, int32_t stream, vt_pin** pin, vt_graph* graph, uint8_t* inverted,
                      vt_component** teeOut, uint8_t* format2, uint8_t* format1) {
  if (stream != 1) return;
  vt_component_set_graph(tee, graph);
  vt_pin* out = vt_component_find_pin(source, VT_PINDIR_OUTPUT, VT_MEDIATYPE_VIDEO, 0, 0);
  vt_pin* in = vt_component_find_pin(tee, VT_PINDIR_INPUT, nullptr, 1, 0);
  const int32_t hr = out && in ? vt_graph_connect_direct(graph, out, in) : -1;
  vt_pin_free(out);
  vt_pin_free(in);
  if (hr != 0) return;
  *pin = vt_component_find_pin(tee, VT_PINDIR_OUTPUT, nullptr, 1, 0);
  *teeOut = tee;
  *inverted = 1;
  *format1 = 1;
  *format2 = 0;
}

void pi_killvideograph(vt_instance*, vt_pin**, vt_graph*) { vt_component_set_graph(tee, nullptr); }

void pi_buildmuxgraph(vt_instance*, vt_graph*, const uint16_t* fileName) {
  lastMuxName.clear();
  for (const uint16_t* p = fileName; p && *p; ++p) lastMuxName.push_back(static_cast<char16_t>(*p));
}

// Test hooks, read by the test through the same loaded library.
int64_t test_frames_filled() { return framesFilled.load(); }
int test_destroyed() { return destroyed; }
const char16_t* test_last_mux_name() { return lastMuxName.c_str(); }

}  // extern "C"
