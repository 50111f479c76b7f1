#include "platform/media/filters/Mpeg4Compressor.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>

#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/encoders/Encoders_fixture.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::pinOf;
using vistrel::testing::PushSource;

namespace {

std::shared_ptr<IMoniker> compressorNamed(const char* word) {
  vistrel::testing::registerFilters();
  for (auto& m : SystemDeviceEnum::create()->monikers(CLSID_VideoCompressorCategory)) {
    QVariant name;
    m->Read(QStringLiteral("FriendlyName"), name);
    if (name.toString().toLower().contains(QLatin1String(word))) return m;
  }
  return nullptr;
}

std::shared_ptr<IBaseFilter> bind(const char* word) {
  auto m = compressorNamed(word);
  std::shared_ptr<IBaseFilter> f;
  if (m) m->BindToObject(f);
  return f;
}

TEST(Mpeg4Compressor, BothCodesAreVideoCompressorsFoundByName) {
  vistrel::testing::TempRoot root;
  ASSERT_TRUE(compressorNamed("xvid"));
  ASSERT_TRUE(compressorNamed("divx"));
  auto xvid = std::dynamic_pointer_cast<Mpeg4Compressor>(bind("xvid"));
  auto divx = std::dynamic_pointer_cast<Mpeg4Compressor>(bind("divx"));
  ASSERT_TRUE(xvid && divx);
  EXPECT_EQ(xvid->fourcc(), makeFourcc('X', 'V', 'I', 'D'));
  EXPECT_EQ(divx->fourcc(), makeFourcc('D', 'X', '5', '0'));
  EXPECT_TRUE(interfaceOf<IAMVfwCompressDialogs>(std::static_pointer_cast<IBaseFilter>(xvid)));
  EXPECT_NE(bind("xvid"), bind("xvid"));  // a fresh object per bind
}

struct AviCase {
  const char* word;
  uint32_t fourcc;
};

class Mpeg4Avi : public ::testing::TestWithParam<AviCase> {};

TEST_P(Mpeg4Avi, RecordsAnAviThatDecodesUnderItsCode) {
  vistrel::testing::TempRoot root;
  const QString file = root.file("divx.avi");
  auto graph = FilterGraph::create();
  auto builder = CaptureGraphBuilder2::create();
  builder->SetFiltergraph(graph);
  auto compressor = bind(GetParam().word);
  ASSERT_TRUE(compressor);
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  ASSERT_EQ(builder->SetOutputFileName(MEDIASUBTYPE_Avi, file, mux, sink), S_OK);
  auto source = PushSource::create(MediaType::rgb24(352, 288, 400000));
  graph->AddFilter(source, QStringLiteral("source"));
  graph->AddFilter(compressor, QStringLiteral("divx"));
  ASSERT_EQ(graph->ConnectDirect(source->output(), pinOf(compressor, 0), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinOf(compressor, 1), pinOf(mux, 1), nullptr), S_OK);
  MediaType out;
  pinOf(compressor, 1)->ConnectionMediaType(out);
  EXPECT_EQ(out.subtype, fourccGuid(GetParam().fourcc));
  EXPECT_TRUE(out.bTemporalCompression);
  ASSERT_EQ(out.bitmapHeader()->biCompression, GetParam().fourcc);

  ASSERT_EQ(graph->Run(), S_OK);
  vistrel::testing::pushAv(source.get(), nullptr, 50, 400000, 352, 288, 0, 0);
  ASSERT_EQ(graph->Stop(), S_OK);

  auto info = vistrel::testing::probeFile(file);
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.format, QStringLiteral("avi"));
  const auto* v = info.first(true);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->codec, QStringLiteral("mpeg4"));
  EXPECT_EQ(v->codecTag, GetParam().fourcc);
  EXPECT_EQ(v->width, 352);
  EXPECT_EQ(v->height, 288);
  EXPECT_EQ(v->decodedFrames, 50);
}

INSTANTIATE_TEST_SUITE_P(Codes, Mpeg4Avi,
                         ::testing::Values(AviCase{"xvid", makeFourcc('X', 'V', 'I', 'D')},
                                           AviCase{"divx", makeFourcc('D', 'X', '5', '0')}));

TEST(Mpeg4Compressor, RefusesSizesItCannotEncode) {
  vistrel::testing::TempRoot root;
  struct Case {
    int w, h;
    bool ok;
  } cases[] = {{352, 288, true}, {720, 576, true},   {321, 240, false}, {320, 241, false},
               {8, 8, false},    {5000, 480, false}, {16, 16, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    auto graph = FilterGraph::create();
    auto compressor = bind("xvid");
    auto source = PushSource::create(MediaType::rgb24(c.w, c.h, 400000));
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(compressor, QStringLiteral("divx"));
    const HRESULT hr = graph->ConnectDirect(source->output(), pinOf(compressor, 0), nullptr);
    EXPECT_EQ(SUCCEEDED(hr), c.ok);
  }
  // A compressed or unknown input is refused too.
  auto compressor = bind("divx");
  EXPECT_NE(pinOf(compressor, 0)->QueryAccept(MediaType::pcm(44100, 2, 16)), S_OK);
}

TEST(Mpeg4Compressor, DialogsNeedAGraphAndChangeTheSettings) {
  vistrel::testing::TempRoot root;
  auto filter = bind("xvid");
  auto dialogs = interfaceOf<IAMVfwCompressDialogs>(filter);
  ASSERT_TRUE(dialogs);
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_QueryConfig, nullptr), VFW_E_NOT_IN_GRAPH);

  auto graph = FilterGraph::create();
  graph->AddFilter(filter, QStringLiteral("divx"));
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_QueryConfig, nullptr), S_OK);
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_QueryAbout, nullptr), S_OK);

  QString aboutText;
  Mpeg4Compressor::setDialogRunner([&](QDialog& d) {
    if (auto* box = qobject_cast<QMessageBox*>(&d)) {
      aboutText = box->text();
      return int(QDialog::Accepted);
    }
    d.findChild<QRadioButton*>(QStringLiteral("qualityMode"))->setChecked(true);
    d.findChild<QSpinBox*>(QStringLiteral("quantizer"))->setValue(3);
    d.findChild<QSpinBox*>(QStringLiteral("keyInterval"))->setValue(50);
    return int(QDialog::Accepted);
  });
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_Config, nullptr), S_OK);
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_About, nullptr), S_OK);
  EXPECT_TRUE(aboutText.contains(QStringLiteral("libavcodec")));
  EXPECT_TRUE(aboutText.contains(QStringLiteral("XVID")));

  auto xvid = std::dynamic_pointer_cast<Mpeg4Compressor>(filter);
  EXPECT_TRUE(xvid->settings().constantQuality);
  EXPECT_EQ(xvid->settings().quantizer, 3);
  EXPECT_EQ(xvid->settings().keyInterval, 50);
  // Kept for the next object of this code, not for the other code.
  EXPECT_EQ(std::dynamic_pointer_cast<Mpeg4Compressor>(bind("xvid"))->settings(), xvid->settings());
  EXPECT_FALSE(std::dynamic_pointer_cast<Mpeg4Compressor>(bind("divx"))->settings().constantQuality);

  // Cancelling changes nothing.
  Mpeg4Compressor::setDialogRunner([](QDialog& d) {
    d.findChild<QSpinBox*>(QStringLiteral("quantizer"))->setValue(20);
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(dialogs->ShowDialog(VfwCompressDialog_Config, nullptr), S_OK);
  EXPECT_EQ(xvid->settings().quantizer, 3);
  Mpeg4Compressor::setDialogRunner(nullptr);
  EXPECT_EQ(dialogs->ShowDialog(0x40, nullptr), E_INVALIDARG);
}

TEST(Mpeg4Compressor, StateBlocksRoundTripAndBadOnesAreRefused) {
  vistrel::testing::TempRoot root;
  auto a = std::dynamic_pointer_cast<Mpeg4Compressor>(bind("divx"));
  Mpeg4Settings s;
  s.bitrateKbps = 900;
  s.keyInterval = 100;
  a->setSettings(s);
  std::vector<uint8_t> state;
  ASSERT_EQ(a->GetState(state), S_OK);
  auto b = std::dynamic_pointer_cast<Mpeg4Compressor>(bind("divx"));
  b->setSettings(Mpeg4Settings{});
  ASSERT_EQ(b->SetState(state), S_OK);
  EXPECT_EQ(b->settings(), s);
  auto x = std::dynamic_pointer_cast<Mpeg4Compressor>(bind("xvid"));
  EXPECT_EQ(x->SetState(state), E_INVALIDARG);  // another code's block
  EXPECT_EQ(x->SetState({1, 2, 3}), E_INVALIDARG);
  // Out-of-range values are clamped, never taken as they are.
  s.bitrateKbps = 1'000'000;
  s.quantizer = 0;
  b->setSettings(s);
  EXPECT_EQ(b->settings().bitrateKbps, 20000);
  EXPECT_EQ(b->settings().quantizer, 1);
}

}  // namespace
