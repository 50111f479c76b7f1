#include "sources/Plugins.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/media/ISampleGrabber.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/SampleGrabber.h"
#include "sources/DeviceTestSupport.h"
#include "sources/PlugInCaptureDevice.h"
#include "sources/SourceTestFilters.h"
#include "sources/Sources.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

const QString kModules = QStringLiteral(VISTREL_TEST_PLUGINS_DIR);
const QString kCameraName = QStringLiteral("Vistrel Test Module");

// The test's own handle on a module the program loaded, for its test hooks.
class ModuleHooks {
 public:
  explicit ModuleHooks(const QString& path)
      : handle_(dlopen(QFile::encodeName(path).constData(), RTLD_NOW)) {}
  ~ModuleHooks() {
    if (handle_) dlclose(handle_);
  }
  int64_t framesFilled() const { return call<int64_t>("test_frames_filled"); }
  int destroyed() const { return call<int>("test_destroyed"); }
  QString lastMuxName() const {
    auto f = reinterpret_cast<const char16_t* (*)()>(dlsym(handle_, "test_last_mux_name"));
    return f ? QString::fromUtf16(f()) : QString();
  }

 private:
  template <class T>
  T call(const char* name) const {
    auto f = reinterpret_cast<T (*)()>(dlsym(handle_, name));
    return f ? f() : T(-1);
  }
  void* handle_;
};

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(folder()));
    engine->plugins = &plugins;
  }
  void TearDown() override { engine->fg->Stop(); }
  QString folder() const { return root.file("plugins"); }
  QString module(const QString& kind) const { return folder() + "/" + kind + ".pvt"; }
  void install(const QStringList& kinds) {
    for (const QString& kind : kinds)
      ASSERT_TRUE(QFile::copy(kModules + "/" + kind + ".pvt", module(kind))) << kind.toStdString();
  }
  static std::function<std::shared_ptr<IBaseFilter>()> webcam() {
    return [] {
      return TableFilter::create({{PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE}});
    };
  }

  vistrel::testing::TempRoot root;
  std::unique_ptr<EngineGraph> engine = makeEngine();
  TpluginList plugins;
};

}  // namespace

TEST_F(PluginTest, RegistrationReadsEveryModuleThatLoadsAndSkipsTheRest) {
  install({"camera", "noname", "longname", "failcreate", "garbage"});
  root.write("plugins/notalibrary.pvt", "this is not a shared library\n");
  root.write("plugins/empty.pvt", "");
  ASSERT_TRUE(QFile::copy(kModules + "/camera.pvt", folder() + "/camera.so"));  // not a .pvt
  plugins.Add({"stale", "/nowhere.pvt", true});
  plugins.Register(folder());  // no trailing separator
  ASSERT_EQ(plugins.Count(), 5);
  std::map<QString, QString> nameOfFile;
  for (int i = 0; i < plugins.Count(); ++i) {
    EXPECT_TRUE(plugins.Items(i)->Usable);
    nameOfFile[QFileInfo(plugins.Items(i)->FilePath).fileName()] = plugins.Items(i)->DriverName;
    EXPECT_EQ(QFileInfo(plugins.Items(i)->FilePath).absolutePath(), QFileInfo(folder()).absoluteFilePath());
  }
  const std::map<QString, QString> expected = {{"camera.pvt", kCameraName},
                                               {"noname.pvt", ""},
                                               {"longname.pvt", QString(255, 'L')},
                                               {"failcreate.pvt", "Vistrel Failing Module"},
                                               {"garbage.pvt", QString(255, 'G')}};
  EXPECT_EQ(nameOfFile, expected);
  EXPECT_EQ(plugins.IndexOf("stale"), -1);
  EXPECT_EQ(plugins.Items(5), nullptr);
  EXPECT_EQ(plugins.Items(-1), nullptr);

  plugins.Register(root.file("missing folder/"));
  EXPECT_EQ(plugins.Count(), 0);
}

TEST_F(PluginTest, ADeviceNamedAfterAModuleBecomesAPlugInDevice) {
  install({"camera"});
  plugins.Register(folder() + "/");
  RegisteredDevice device(CLSID_VideoInputDeviceCategory, kCameraName, webcam());
  RegisteredDevice plain(CLSID_VideoInputDeviceCategory, "Plain Webcam", webcam());
  TCaptureDeviceList list(*engine);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  TCaptureDevice& d = *list.Items(list.IndexOfMoniker(device.moniker()));
  EXPECT_EQ(d.DeviceKind, kDevicePlugIn);
  EXPECT_EQ(d.DeviceName, kCameraName);
  EXPECT_EQ(d.DisplayName, QString::fromUtf8("Caméra Module"));
  EXPECT_EQ(d.VideoStreams, 1);
  EXPECT_EQ(d.AudioStreams, 0);
  EXPECT_EQ(d.NativeFormat1, 0);
  ASSERT_TRUE(d.SourceFilter);
  EXPECT_NE(dynamic_cast<TPlugInCaptureDevice*>(&d), nullptr);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(plain.moniker()))->DeviceKind, kDeviceVideo);
  // The next refresh finds the same device again.
  TCaptureDevice* same = &d;
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(device.moniker())), same);
}

TEST_F(PluginTest, DriverNamesAreComparedAfterTheCutTo255) {
  install({"longname"});
  plugins.Register(folder());
  RegisteredDevice cut(CLSID_VideoInputDeviceCategory, QString(255, 'L'), webcam());
  RegisteredDevice whole(CLSID_VideoInputDeviceCategory, QString(300, 'L'), webcam());
  TCaptureDeviceList list(*engine);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(cut.moniker()))->DeviceKind, kDevicePlugIn);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(whole.moniker()))->DeviceKind, kDeviceVideo);
}

TEST_F(PluginTest, ModulesThatCannotMakeTheirDeviceAreMarkedUnusable) {
  install({"failcreate", "noname", "garbage"});
  plugins.Register(folder());
  RegisteredDevice failing(CLSID_VideoInputDeviceCategory, "Vistrel Failing Module", webcam());
  RegisteredDevice unnamed(CLSID_VideoInputDeviceCategory, "", webcam());
  RegisteredDevice garbage(CLSID_VideoInputDeviceCategory, QString(255, 'G'), webcam());
  TCaptureDeviceList list(*engine);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_EQ(list.IndexOfMoniker(failing.moniker()), -1);
  EXPECT_FALSE(plugins.Items(plugins.IndexOf("Vistrel Failing Module"))->Usable);
  // The module without a name never claims a device, not even one without a name.
  ASSERT_GE(list.IndexOfMoniker(unnamed.moniker()), 0);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(unnamed.moniker()))->DeviceKind, kDeviceVideo);
  EXPECT_TRUE(plugins.Items(plugins.IndexOf(""))->Usable);
  // Garbage counts give a device without streams, so no source.
  const int g = list.IndexOfMoniker(garbage.moniker());
  ASSERT_GE(g, 0);
  EXPECT_EQ(list.Items(g)->DeviceKind, kDevicePlugIn);
  EXPECT_EQ(list.Items(g)->VideoStreams, 0);
  EXPECT_EQ(list.Items(g)->AudioStreams, 0);
  EXPECT_EQ(list.Items(g)->DisplayName, QString(255, 'G'));
}

TEST_F(PluginTest, AModuleWhoseDriverNameDiffersIsNotReady) {
  install({"camera"});
  TPlugInCaptureDevice device(*engine, "Another Name", 1, module("camera"));
  EXPECT_FALSE(device.Ready);
  EXPECT_EQ(device.InstanceHandle(), 0u);
  TPlugInCaptureDevice missing(*engine, kCameraName, 1, module("absent"));
  EXPECT_FALSE(missing.Ready);
}

TEST_F(PluginTest, TheModulesCameraRecordsThroughTheGraph) {
  install({"camera"});
  ModuleHooks hooks(module("camera"));
  {
    TPlugInCaptureDevice device(*engine, kCameraName, 1, module("camera"));
    ASSERT_TRUE(device.Ready);
    EXPECT_EQ(device.InstanceHandle(), 0x1234u);
    auto source = device.SetSourceGraph();
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->inGraph());
    device.SetVideoGraph(1);
    ASSERT_TRUE(engine->VideoOutPin);
    ASSERT_TRUE(engine->VideoTee);
    EXPECT_TRUE(engine->SourceRowsInverted);
    EXPECT_EQ(device.NativeFormat1, 1);
    EXPECT_EQ(device.NativeFormat2, 0);

    // Preview through a grabber, and the raw stream from the tee into an AVI file.
    auto grabber = SampleGrabber::create();
    auto sink = NullRenderer::create();
    auto* g = interfaceOf<ISampleGrabber>(grabber).get();
    g->SetBufferSamples(true);
    engine->fg->AddFilter(grabber, "grabber");
    engine->fg->AddFilter(sink, "sink");
    ASSERT_EQ(engine->fg->ConnectDirect(engine->VideoOutPin, PinAt(grabber, 0), nullptr), S_OK);
    ASSERT_EQ(engine->fg->ConnectDirect(PinAt(grabber, 1), PinAt(sink, 0), nullptr), S_OK);
    std::shared_ptr<IBaseFilter> mux;
    std::shared_ptr<IFileSinkFilter> writer;
    ASSERT_EQ(engine->builder->SetOutputFileName(MEDIASUBTYPE_Avi, root.file("module.avi"), mux, writer),
              S_OK);
    ASSERT_EQ(engine->fg->ConnectDirect(PinAt(engine->VideoTee->filter(), 2), PinAt(mux, 1), nullptr), S_OK);

    ASSERT_TRUE(SUCCEEDED(engine->fg->Run()));
    EXPECT_TRUE(waitFor([&] { return hooks.framesFilled() >= 10; }));
    engine->fg->Stop();
    std::vector<uint8_t> frame;
    ASSERT_EQ(g->GetCurrentBuffer(frame), S_OK);
    ASSERT_EQ(frame.size(), 160u * 120 * 3);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), frame[0]), std::ptrdiff_t(frame.size()));

    const auto probed = vistrel::testing::probeMedia(root.file("module.avi"));
    ASSERT_TRUE(probed.opened);
    ASSERT_EQ(probed.streams.size(), 1u);
    EXPECT_EQ(probed.streams[0].width, 160);
    EXPECT_EQ(probed.streams[0].height, 120);
    EXPECT_GE(probed.streams[0].packets, 5);

    EXPECT_TRUE(device.BuildMuxGraph(QString::fromUtf8("/tmp/caméra.avi")));
    EXPECT_EQ(hooks.lastMuxName(), QString::fromUtf8("/tmp/caméra.avi"));
    device.KillMuxGraph();
    device.KillVideoGraph();
    EXPECT_EQ(engine->VideoTee, nullptr);
    EXPECT_EQ(engine->VideoOutPin, nullptr);
    device.KillSourceGraph();
    EXPECT_FALSE(source->inGraph());
    EXPECT_EQ(hooks.destroyed(), 0);
  }
  EXPECT_EQ(hooks.destroyed(), 1);
}

TEST_F(PluginTest, DestroyingTheDeviceDisconnectsItsCurrentSourceAndTakesItsFilterOut) {
  install({"camera"});
  auto device = std::make_unique<TPlugInCaptureDevice>(*engine, kCameraName, 1, module("camera"));
  ASSERT_TRUE(device->Ready);
  auto source = device->SetSourceGraph();
  TVideoSource video(device.get(), 1);
  engine->CurrentVideo = &video;
  bool disconnected = false;
  engine->DisconnectVideo = [&](TVideoSource& s, bool full) {
    disconnected = &s == &video && full;
    engine->CurrentVideo = nullptr;
    return true;
  };
  ASSERT_TRUE(SUCCEEDED(engine->fg->Run()));
  device.reset();
  EXPECT_TRUE(disconnected);
  EXPECT_FALSE(source->inGraph());
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(PluginTest, AVanishedPlugInDeviceIsDestroyedByTheRefresh) {
  install({"camera"});
  plugins.Register(folder());
  ModuleHooks hooks(module("camera"));
  auto device = std::make_unique<RegisteredDevice>(CLSID_VideoInputDeviceCategory, kCameraName, webcam());
  TCaptureDeviceList list(*engine);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 1);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_EQ(hooks.destroyed(), 0);
  device.reset();
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(hooks.destroyed(), 1);
}
