#include "platform/devices/virtual/VirtualTvCard.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <chrono>
#include <cmath>
#include <mutex>

#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/IFilterGraph.h"
#include "platform/media/StreamingThread.h"

namespace vistrel::platform::devices {

using namespace media;

namespace {
constexpr GUID MEDIASUBTYPE_AnalogAudioAny = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0310}");

MediaType analogAudioType() {
  return MediaType(MEDIATYPE_AnalogAudio, MEDIASUBTYPE_AnalogAudioAny, FORMAT_None);
}
MediaType analogTypeOf(int32_t physicalType) {
  return physicalType < PhysConn_Audio_Tuner ? v4l2::analogVideoType() : analogAudioType();
}

// The card a filter belongs to, or null for a filter of anything else.
std::shared_ptr<TvCardHardware> cardOf(const std::shared_ptr<IBaseFilter>& f) {
  if (auto x = std::dynamic_pointer_cast<VirtualCrossbar>(f)) return x->card();
  if (auto t = std::dynamic_pointer_cast<VirtualTvTuner>(f)) return t->card();
  if (auto c = std::dynamic_pointer_cast<VirtualTvCard>(f)) return c->card();
  return nullptr;
}

std::shared_ptr<TvCardHardware> cardOfPin(const std::shared_ptr<IPin>& pin) {
  PIN_INFO info;
  if (!pin || FAILED(pin->QueryPinInfo(info))) return nullptr;
  return cardOf(info.pFilter);
}

// An analogue connector or link input: takes only links from the same card.
class AnalogInput : public BaseInputPin {
 public:
  AnalogInput(BaseFilter* f, QString name, MediaType type, std::shared_ptr<TvCardHardware> card,
              const GUID& category = GUID_NULL)
      : BaseInputPin(f, std::move(name), category), type_(std::move(type)), card_(std::move(card)) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == type_.majortype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT CheckConnect(const std::shared_ptr<IPin>& peer) override {
    if (cardOfPin(peer) != card_) return VFW_E_NO_ACCEPTABLE_TYPES;
    return BaseInputPin::CheckConnect(peer);
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return S_OK; }

 private:
  MediaType type_;
  std::shared_ptr<TvCardHardware> card_;
};

// An analogue link output: connects only to a pin of the same card. No sample ever flows.
class AnalogOutput : public BaseOutputPin {
 public:
  AnalogOutput(BaseFilter* f, QString name, MediaType type, std::shared_ptr<TvCardHardware> card,
               bool toCaptureOnly)
      : BaseOutputPin(f, std::move(name)),
        type_(std::move(type)),
        card_(std::move(card)),
        toCapture_(toCaptureOnly) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == type_.majortype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT CheckConnect(const std::shared_ptr<IPin>& peer) override {
    PIN_INFO info;
    if (!peer || FAILED(peer->QueryPinInfo(info))) return E_POINTER;
    if (cardOf(info.pFilter) != card_) return VFW_E_NO_ACCEPTABLE_TYPES;
    if (toCapture_ && !std::dynamic_pointer_cast<VirtualTvCard>(info.pFilter))
      return VFW_E_NO_ACCEPTABLE_TYPES;
    return BaseOutputPin::CheckConnect(peer);
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = 1;
    want.cbBuffer = 1;
    want.cbAlign = std::max(want.cbAlign, 1);
    return allocator.SetProperties(want, actual);
  }

 private:
  MediaType type_;
  std::shared_ptr<TvCardHardware> card_;
  bool toCapture_;
};

std::mutex runnerLock;
VirtualTvCard::DialogRunner& runner() {
  static VirtualTvCard::DialogRunner r;
  return r;
}

int runDialog(QDialog& dialog) {
  VirtualTvCard::DialogRunner r;
  {
    std::lock_guard g(runnerLock);
    r = runner();
  }
  return r ? r(dialog) : dialog.exec();
}

// One list per crossbar output: the inputs it can take, and "Aucune".
class CrossbarPage : public PropertyPage {
 public:
  CrossbarPage(std::shared_ptr<TvCardHardware> card, int crossbar, QWidget* parent)
      : PropertyPage(parent), card_(std::move(card)), crossbar_(crossbar) {
    auto* form = new QFormLayout(this);
    const auto& pins = card_->pins(crossbar_);
    const int inputs = card_->inputCount(crossbar_);
    for (int out = 0; out < card_->outputCount(crossbar_); ++out) {
      auto* list = new QComboBox(this);
      list->setObjectName(QStringLiteral("output%1").arg(out));
      list->addItem(QStringLiteral("Aucune"), -1);
      for (int in = 0; in < inputs; ++in)
        if (card_->canRoute(crossbar_, out, in)) list->addItem(pins[static_cast<size_t>(in)].name, in);
      list->setCurrentIndex(std::max(0, list->findData(card_->routedTo(crossbar_, out))));
      form->addRow(pins[static_cast<size_t>(inputs + out)].name, list);
      lists_.push_back(list);
    }
  }
  QString title() const override { return QStringLiteral("Crossbar"); }
  HRESULT apply() override {
    HRESULT result = S_OK;
    for (size_t out = 0; out < lists_.size(); ++out) {
      const HRESULT hr = card_->route(crossbar_, static_cast<int>(out), lists_[out]->currentData().toInt());
      if (hr != S_OK) result = E_FAIL;
    }
    return result;
  }

 private:
  std::shared_ptr<TvCardHardware> card_;
  int crossbar_;
  std::vector<QComboBox*> lists_;
};

// The tuned channel.
class TunerPage : public PropertyPage {
 public:
  TunerPage(std::shared_ptr<IAMTVTuner> tuner, QWidget* parent)
      : PropertyPage(parent), tuner_(std::move(tuner)) {
    auto* form = new QFormLayout(this);
    channel_ = new QSpinBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    int32_t min = 0, max = 0, c = 0, v = 0, a = 0;
    tuner_->ChannelMinMax(min, max);
    tuner_->get_Channel(c, v, a);
    channel_->setRange(min, max);
    channel_->setValue(c);
    form->addRow(QStringLiteral("Canal :"), channel_);
  }
  QString title() const override { return QStringLiteral("Tuner TV"); }
  HRESULT apply() override { return tuner_->put_Channel(channel_->value(), -1, -1); }

 private:
  std::shared_ptr<IAMTVTuner> tuner_;
  QSpinBox* channel_ = nullptr;
};

QString inputName(TvInput input) {
  switch (input) {
    case TvInput::Tuner: return QStringLiteral("Tuner");
    case TvInput::Composite: return QStringLiteral("Composite");
    case TvInput::SVideo: return QStringLiteral("S-Video");
    case TvInput::None: break;
  }
  return QStringLiteral("Aucune");
}
}  // namespace

TvCardSettings tvCardSettings(const QStringList& options) {
  TvCardSettings s;
  for (const QString& o : options) {
    const QString key = o.trimmed().toLower();
    if (key == QLatin1String("sound"))
      s.sound = true;
    else if (key == QLatin1String("chain"))
      s.chain = true;
    else if (s.error.isEmpty())
      s.error = QStringLiteral("unknown capture card option \"%1\"").arg(o);
  }
  return s;
}

// ---------------------------------------------------------------------------------------------
TvCardHardware::TvCardHardware(TvCardSettings settings) : settings_(std::move(settings)) {
  if (settings_.chain) {
    layout_[1] = {{true, QStringLiteral("0: Video Tuner"), PhysConn_Video_Tuner, 2},
                  {true, QStringLiteral("1: Video Composite"), PhysConn_Video_Composite, 3},
                  {true, QStringLiteral("2: Audio Tuner"), PhysConn_Audio_Tuner, 0},
                  {true, QStringLiteral("3: Audio Line"), PhysConn_Audio_Line, 1},
                  {false, QStringLiteral("0: Video SCART"), PhysConn_Video_SCART, 1},
                  {false, QStringLiteral("1: Audio Line"), PhysConn_Audio_Line, 0}};
    layout_[0] = {{true, QStringLiteral("0: Video SCART"), PhysConn_Video_SCART, 2},
                  {true, QStringLiteral("1: Video SVideo"), PhysConn_Video_SVideo, -1},
                  {true, QStringLiteral("2: Audio Line"), PhysConn_Audio_Line, 0},
                  {false, QStringLiteral("0: Video Decoder"), PhysConn_Video_VideoDecoder, 1},
                  {false, QStringLiteral("1: Audio Decoder"), PhysConn_Audio_AudioDecoder, 0}};
  } else {
    layout_[0] = {{true, QStringLiteral("0: Video Tuner"), PhysConn_Video_Tuner, 3},
                  {true, QStringLiteral("1: Video Composite"), PhysConn_Video_Composite, 4},
                  {true, QStringLiteral("2: Video SVideo"), PhysConn_Video_SVideo, -1},
                  {true, QStringLiteral("3: Audio Tuner"), PhysConn_Audio_Tuner, 0},
                  {true, QStringLiteral("4: Audio Line"), PhysConn_Audio_Line, 1},
                  {false, QStringLiteral("0: Video Decoder"), PhysConn_Video_VideoDecoder, 1},
                  {false, QStringLiteral("1: Audio Decoder"), PhysConn_Audio_AudioDecoder, 0}};
  }
  // Tuned in at power-up: the tuner with its sound.
  for (int x = 0; x < 2; ++x) {
    routes_[x][0].store(0);
    routes_[x][1].store(-1);
  }
  routes_[0][1].store(settings_.chain ? 2 : 3);
  routes_[1][1].store(2);
}

int TvCardHardware::inputCount(int crossbar) const {
  if (crossbar < 0 || crossbar >= crossbarCount()) return 0;
  int n = 0;
  for (const auto& p : pins(crossbar)) n += p.input ? 1 : 0;
  return n;
}

int TvCardHardware::outputCount(int crossbar) const {
  if (crossbar < 0 || crossbar >= crossbarCount()) return 0;
  return static_cast<int>(pins(crossbar).size()) - inputCount(crossbar);
}

bool TvCardHardware::canRoute(int crossbar, int output, int input) const {
  if (output < 0 || input < 0 || output >= outputCount(crossbar) || input >= inputCount(crossbar))
    return false;
  const auto& p = pins(crossbar);
  const bool videoOut =
      p[static_cast<size_t>(inputCount(crossbar) + output)].physicalType < PhysConn_Audio_Tuner;
  const bool videoIn = p[static_cast<size_t>(input)].physicalType < PhysConn_Audio_Tuner;
  return videoOut == videoIn;  // video goes to the decoder's video, sound to its sound
}

int TvCardHardware::routedTo(int crossbar, int output) const {
  if (output < 0 || output >= outputCount(crossbar)) return -1;
  return routes_[static_cast<size_t>(crossbar)][static_cast<size_t>(output)].load();
}

HRESULT TvCardHardware::route(int crossbar, int output, int input) {
  if (output < 0 || output >= outputCount(crossbar) || input < -1 || input >= inputCount(crossbar))
    return E_INVALIDARG;
  if (input >= 0 && !canRoute(crossbar, output, input)) return S_FALSE;
  routes_[static_cast<size_t>(crossbar)][static_cast<size_t>(output)].store(input);
  return S_OK;
}

TvInput TvCardHardware::videoSource() const {
  const int in = routedTo(0, 0);
  if (settings_.chain) {
    if (in == 1) return TvInput::SVideo;
    if (in != 0) return TvInput::None;
    const int outer = routedTo(1, 0);
    return outer == 0 ? TvInput::Tuner : outer == 1 ? TvInput::Composite : TvInput::None;
  }
  return in == 0 ? TvInput::Tuner : in == 1 ? TvInput::Composite : in == 2 ? TvInput::SVideo : TvInput::None;
}

TvInput TvCardHardware::audioSource() const {
  const int in = routedTo(0, 1);
  if (settings_.chain) {
    if (in != 2) return TvInput::None;
    const int outer = routedTo(1, 1);
    return outer == 2 ? TvInput::Tuner : outer == 3 ? TvInput::Composite : TvInput::None;
  }
  return in == 3 ? TvInput::Tuner : in == 4 ? TvInput::Composite : TvInput::None;
}

void TvCardHardware::select(TvInput input) {
  if (settings_.chain) {
    if (input == TvInput::SVideo) {
      route(0, 0, 1);
      route(0, 1, -1);
      return;
    }
    route(0, 0, input == TvInput::None ? -1 : 0);
    route(0, 1, input == TvInput::None ? -1 : 2);
    route(1, 0, input == TvInput::Tuner ? 0 : input == TvInput::Composite ? 1 : -1);
    route(1, 1, input == TvInput::Tuner ? 2 : input == TvInput::Composite ? 3 : -1);
    return;
  }
  route(0, 0,
        input == TvInput::Tuner       ? 0
        : input == TvInput::Composite ? 1
        : input == TvInput::SVideo    ? 2
                                      : -1);
  route(0, 1, input == TvInput::Tuner ? 3 : input == TvInput::Composite ? 4 : -1);
}

int32_t tvInputColour(TvInput input, int32_t channel) {
  switch (input) {
    case TvInput::Tuner: {
      // Every channel its own colour, so that a test sees the tuning.
      const int c = std::abs(channel);
      return ((c * 53) % 256) << 16 | ((c * 97 + 64) % 256) << 8 | ((c * 29 + 128) % 256);
    }
    case TvInput::Composite: return 0xE02020;
    case TvInput::SVideo: return 0x2020E0;
    case TvInput::None: break;
  }
  return -1;
}

double tvInputTone(TvInput input, int32_t channel) {
  switch (input) {
    case TvInput::Tuner: return 200.0 + 10.0 * channel;
    case TvInput::Composite: return 1000.0;
    default: return 0.0;
  }
}

// ---------------------------------------------------------------------------------------------
VirtualCrossbar::VirtualCrossbar(const QString& friendlyName, std::shared_ptr<TvCardHardware> card, int index)
    : BaseFilter(CLSID_VirtualCrossbar, friendlyName), card_(std::move(card)), index_(index) {
  const bool feedsCapture = index_ == 0;
  for (const CrossbarPin& p : card_->pins(index_)) {
    if (p.input)
      addPin(std::make_shared<AnalogInput>(this, p.name, analogTypeOf(p.physicalType), card_));
    else
      addPin(std::make_shared<AnalogOutput>(this, p.name, analogTypeOf(p.physicalType), card_,
                                            feedsCapture && p.physicalType < PhysConn_Audio_Tuner));
  }
}

VirtualCrossbar::~VirtualCrossbar() = default;

HRESULT VirtualCrossbar::get_PinCounts(int32_t& outputs, int32_t& inputs) {
  outputs = card_->outputCount(index_);
  inputs = card_->inputCount(index_);
  return S_OK;
}

HRESULT VirtualCrossbar::CanRoute(int32_t output, int32_t input) {
  if (output < 0 || output >= card_->outputCount(index_) || input < 0 || input >= card_->inputCount(index_))
    return E_INVALIDARG;
  return card_->canRoute(index_, output, input) ? S_OK : S_FALSE;
}

HRESULT VirtualCrossbar::Route(int32_t output, int32_t input) {
  const HRESULT hr = card_->route(index_, output, input);
  return hr == S_FALSE ? E_FAIL : hr;  // a route the crossbar cannot make is refused
}

HRESULT VirtualCrossbar::get_IsRoutedTo(int32_t output, int32_t& input) {
  if (output < 0 || output >= card_->outputCount(index_)) return E_INVALIDARG;
  input = card_->routedTo(index_, output);
  return S_OK;
}

HRESULT VirtualCrossbar::get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                             int32_t& physicalType) {
  const int inputs = card_->inputCount(index_);
  const int count = isInput ? inputs : card_->outputCount(index_);
  if (index < 0 || index >= count) return E_INVALIDARG;
  const CrossbarPin& p = card_->pins(index_)[static_cast<size_t>(isInput ? index : inputs + index)];
  related = p.related;
  physicalType = p.physicalType;
  return S_OK;
}

HRESULT VirtualCrossbar::GetPages(std::vector<GUID>& pages) {
  pages = {PAGE_VirtualCrossbar};
  return S_OK;
}

PropertyPage* VirtualCrossbar::CreatePage(const GUID& page, QWidget* parent) {
  return page == PAGE_VirtualCrossbar ? new CrossbarPage(card_, index_, parent) : nullptr;
}

HRESULT VirtualCrossbar::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) removeUpstream();
  return BaseFilter::JoinFilterGraph(graph, name);
}

void VirtualCrossbar::pinConnected(BasePin& pin) {
  if (index_ == 0 && pin.direction() == PINDIR_OUTPUT && &pin == this->pin(card_->inputCount(0)))
    addUpstream();
}

void VirtualCrossbar::addUpstream() {
  auto g = graph();
  if (!g || !upstream_.empty()) return;
  auto connect = [](const std::shared_ptr<IBaseFilter>& from, int out, BaseFilter* to, int in) {
    auto* f = dynamic_cast<BaseFilter*>(from.get());
    if (!f || !to) return;
    auto outPin = std::dynamic_pointer_cast<IPin>(f->pin(out)->shared_from_this());
    auto inPin = std::dynamic_pointer_cast<IPin>(to->pin(in)->shared_from_this());
    if (outPin && inPin && !to->pin(in)->isConnected()) outPin->Connect(inPin, nullptr);
  };
  BaseFilter* outermost = this;
  if (card_->settings().chain) {
    auto outer = std::make_shared<VirtualCrossbar>(name() + QStringLiteral(" (amont)"), card_, 1);
    if (SUCCEEDED(g->AddFilter(outer, outer->name()))) {
      upstream_.push_back(outer);
      const int outs = card_->inputCount(1);
      connect(outer, outs, this, 0);      // video link
      connect(outer, outs + 1, this, 2);  // sound link
      outermost = outer.get();
    }
  }
  auto tuner = std::make_shared<VirtualTvTuner>(QStringLiteral("Vistrel TV Tuner"), card_);
  if (SUCCEEDED(g->AddFilter(tuner, tuner->name()))) {
    upstream_.push_back(tuner);
    connect(tuner, 0, outermost, card_->tunerVideoInput());
    connect(tuner, 1, outermost, card_->tunerAudioInput());
  }
  upstreamGraph_ = g;
}

void VirtualCrossbar::removeUpstream() {
  auto g = upstreamGraph_.lock();
  auto filters = std::move(upstream_);
  upstream_.clear();
  if (!g) return;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) g->RemoveFilter(*it);
}

// ---------------------------------------------------------------------------------------------
VirtualTvTuner::VirtualTvTuner(const QString& friendlyName, std::shared_ptr<TvCardHardware> card)
    : BaseFilter(CLSID_VirtualTvTuner, friendlyName), card_(std::move(card)) {
  addPin(std::make_shared<AnalogOutput>(this, QStringLiteral("Analog Video"), v4l2::analogVideoType(), card_,
                                        false));
  addPin(
      std::make_shared<AnalogOutput>(this, QStringLiteral("Analog Audio"), analogAudioType(), card_, false));
}

HRESULT VirtualTvTuner::put_Frequency(int64_t hz) {
  int32_t min = 0, max = 0;
  ChannelMinMax(min, max);
  const bool lines525 = card_->tvFormat.load() & (AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J);
  // The channel whose carrier is nearest, within half a channel's width.
  for (int32_t c = min; c <= max; ++c) {
    const int64_t f = v4l2::channelFrequency(c, lines525);
    if (f && std::llabs(f - hz) <= 3'000'000) {
      card_->channel.store(c);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT VirtualTvTuner::get_Frequency(int64_t& hz) {
  hz = v4l2::channelFrequency(card_->channel.load(),
                              card_->tvFormat.load() & (AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J));
  return S_OK;
}

HRESULT VirtualTvTuner::put_Channel(int32_t channel, int32_t, int32_t) {
  const bool lines525 = card_->tvFormat.load() & (AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J);
  if (v4l2::channelFrequency(channel, lines525) == 0) return E_INVALIDARG;
  card_->channel.store(channel);
  return S_OK;
}

HRESULT VirtualTvTuner::get_Channel(int32_t& channel, int32_t& videoSubChannel, int32_t& audioSubChannel) {
  channel = card_->channel.load();
  videoSubChannel = audioSubChannel = -1;
  return S_OK;
}

HRESULT VirtualTvTuner::ChannelMinMax(int32_t& min, int32_t& max) {
  v4l2::channelRange(card_->tvFormat.load() & (AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J), min, max);
  return S_OK;
}

HRESULT VirtualTvTuner::SignalPresent(int32_t& strength) {
  strength = 1;  // every channel of the table broadcasts something
  return S_OK;
}

namespace {
constexpr int32_t kStandards =
    AnalogVideo_PAL_B | AnalogVideo_PAL_G | AnalogVideo_PAL_I | AnalogVideo_SECAM_L | AnalogVideo_NTSC_M;
constexpr int32_t kAudioModes =
    AMTVAUDIO_MODE_MONO | AMTVAUDIO_MODE_STEREO | AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B;
}  // namespace

HRESULT VirtualTvTuner::get_AvailableTVFormats(int32_t& standards) {
  standards = kStandards;
  return S_OK;
}

HRESULT VirtualTvTuner::get_TVFormat(int32_t& standard) {
  standard = card_->tvFormat.load();
  return S_OK;
}

HRESULT VirtualTvTuner::put_TVFormat(int32_t standard) {
  // Exactly one standard, among those the tuner receives.
  if (standard == 0 || (standard & (standard - 1)) || !(standard & kStandards)) return E_INVALIDARG;
  card_->tvFormat.store(standard);
  return S_OK;
}

HRESULT VirtualTvTuner::GetHardwareSupportedTVAudioModes(int32_t& modes) {
  modes = kAudioModes;
  return S_OK;
}

HRESULT VirtualTvTuner::GetAvailableTVAudioModes(int32_t& modes) {
  // Even channels broadcast in two languages, odd ones in stereo only.
  modes = AMTVAUDIO_MODE_MONO | AMTVAUDIO_MODE_STEREO;
  if (card_->channel.load() % 2 == 0) modes |= AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B;
  return S_OK;
}

HRESULT VirtualTvTuner::get_TVAudioMode(int32_t& mode) {
  mode = card_->audioMode.load();
  return S_OK;
}

HRESULT VirtualTvTuner::put_TVAudioMode(int32_t mode) {
  if (mode == 0 || (mode & ~kAudioModes)) return E_INVALIDARG;
  card_->audioMode.store(mode);
  return S_OK;
}

HRESULT VirtualTvTuner::GetPages(std::vector<GUID>& pages) {
  pages = {PAGE_VirtualTuner, v4l2::PAGE_V4l2TvAudio};
  return S_OK;
}

PropertyPage* VirtualTvTuner::CreatePage(const GUID& page, QWidget* parent) {
  auto self = std::dynamic_pointer_cast<VirtualTvTuner>(shared_from_this());
  if (!self) return nullptr;
  if (page == PAGE_VirtualTuner) return new TunerPage(self, parent);
  if (page == v4l2::PAGE_V4l2TvAudio) return new v4l2::TvAudioPage(self, parent);
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
class VirtualTvCard::AnalogInputPin : public AnalogInput {
 public:
  AnalogInputPin(VirtualTvCard* f, std::shared_ptr<TvCardHardware> card)
      : AnalogInput(f, QStringLiteral("Analog Video In"), v4l2::analogVideoType(), std::move(card),
                    PIN_CATEGORY_ANALOGVIDEOIN) {}
  HRESULT CheckConnect(const std::shared_ptr<IPin>& peer) override {
    // Only the crossbar that feeds this card's decoder.
    PIN_INFO info;
    if (!peer || FAILED(peer->QueryPinInfo(info))) return E_POINTER;
    auto x = std::dynamic_pointer_cast<VirtualCrossbar>(info.pFilter);
    if (!x || x->index() != 0) return VFW_E_NO_ACCEPTABLE_TYPES;
    return AnalogInput::CheckConnect(peer);
  }
};

// The card's sound: 16-bit stereo PCM at 48 kHz in 20 ms blocks, the tone of the routed input.
class VirtualTvCard::AudioPin : public BaseOutputPin {
 public:
  explicit AudioPin(VirtualTvCard* f)
      : BaseOutputPin(f, QStringLiteral("Audio"), PIN_CATEGORY_CAPTURE),
        card_(f),
        type_(MediaType::pcm(48000, 2, 16)) {}
  ~AudioPin() override { thread_.stop(); }
  HRESULT CheckMediaType(const MediaType& type) override {
    return type == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 8);
    want.cbBuffer = std::max<int32_t>(want.cbBuffer, kFrames * 4);
    want.cbAlign = std::max(want.cbAlign, 1);
    const HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= kFrames * 4 ? S_OK : E_FAIL;
  }
  void startStreaming() {
    if (connected_) thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 private:
  static constexpr int kFrames = 960;  // 20 ms

  // Streaming thread: one block per 20 ms; a block without a free buffer is lost.
  void stream(StreamingThread& thread) {
    const auto period = std::chrono::milliseconds(20);
    const auto t0 = std::chrono::steady_clock::now();
    double phase = 0;
    const REFERENCE_TIME blockTime = UNITS * kFrames / 48000;
    for (int64_t k = 0; thread.sleepUntil(t0 + k * period); ++k) {
      if (card_->deviceLost()) continue;
      std::shared_ptr<MediaSample> sample;
      if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT))) {
        card_->countDropped(1);
        continue;
      }
      auto* pcm = reinterpret_cast<int16_t*>(sample->data());
      const auto& hw = card_->card();
      const double tone = tvInputTone(hw->audioSource(), hw->channel.load());
      if (tone > 0)
        renderTone(pcm, kFrames, 2, tone, 48000, phase);
      else
        std::fill(pcm, pcm + 2 * kFrames, int16_t{0});
      REFERENCE_TIME start = card_->streamTime(), stop = start + blockTime;
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(true);
      sample->SetActualDataLength(kFrames * 4);
      Deliver(sample);
    }
  }

  VirtualTvCard* card_;
  MediaType type_;
  StreamingThread thread_;
};

VirtualTvCard::VirtualTvCard(const QString& friendlyName, std::shared_ptr<TvCardHardware> card)
    : VirtualCamera(friendlyName, CLSID_VirtualTvCard), card_(std::move(card)) {
  addPin(std::make_shared<AnalogInputPin>(this, card_));
  if (card_->settings().sound) addPin(std::make_shared<AudioPin>(this));
}

VirtualTvCard::~VirtualTvCard() { haltStreaming(); }

void VirtualTvCard::haltStreaming() {
  VirtualCamera::haltStreaming();
  for (auto& p : pins_)
    if (auto* audio = dynamic_cast<AudioPin*>(p.get())) audio->stopStreaming();
}

HRESULT VirtualTvCard::onPause() {
  haltStreaming();
  return S_OK;
}

HRESULT VirtualTvCard::onRun(REFERENCE_TIME start) {
  VirtualCamera::onRun(start);
  for (auto& p : pins_)
    if (auto* audio = dynamic_cast<AudioPin*>(p.get())) audio->startStreaming();
  return S_OK;
}

void VirtualTvCard::renderPicture(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs) {
  const TvInput input = card_->videoSource();
  const size_t stride = dibRowBytes(width, 24);
  if (input == TvInput::None) {
    std::fill(rgb, rgb + stride * static_cast<size_t>(height), uint8_t{0});  // no signal
    return;
  }
  VirtualCamera::renderPicture(rgb, width, height, frameNumber, timeMs);
  // The band across the top (the last rows of a bottom-up picture) tells the input apart.
  const auto colour = static_cast<uint32_t>(tvInputColour(input, card_->channel.load()));
  const int band = std::max(1, height / 8);
  for (int y = height - band; y < height; ++y) {
    uint8_t* row = rgb + stride * static_cast<size_t>(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = colour & 0xFF;
      row[3 * x + 1] = (colour >> 8) & 0xFF;
      row[3 * x + 2] = (colour >> 16) & 0xFF;
    }
  }
}

HRESULT VirtualTvCard::HasDialog(int dialog) {
  return dialog == VfwCaptureDialog_Source || dialog == VfwCaptureDialog_Format ||
                 dialog == VfwCaptureDialog_Display
             ? S_OK
             : S_FALSE;
}

void VirtualTvCard::setDialogRunner(DialogRunner r) {
  std::lock_guard g(runnerLock);
  runner() = std::move(r);
}

HRESULT VirtualTvCard::ShowDialog(int dialog, QWidget* parent) {
  if (HasDialog(dialog) != S_OK) return E_INVALIDARG;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  QDialog d(parent);
  auto* form = new QFormLayout(&d);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (dialog == VfwCaptureDialog_Source) {
    d.setWindowTitle(QStringLiteral("Source vidéo"));
    auto* inputs = new QComboBox(&d);
    inputs->setObjectName(QStringLiteral("input"));
    for (TvInput i : {TvInput::Tuner, TvInput::Composite, TvInput::SVideo})
      inputs->addItem(inputName(i), static_cast<int>(i));
    inputs->setCurrentIndex(std::max(0, inputs->findData(static_cast<int>(card_->videoSource()))));
    form->addRow(QStringLiteral("Entrée :"), inputs);
    form->addRow(buttons);
    if (runDialog(d) == QDialog::Accepted) card_->select(static_cast<TvInput>(inputs->currentData().toInt()));
  } else if (dialog == VfwCaptureDialog_Format) {
    d.setWindowTitle(QStringLiteral("Format vidéo"));
    auto config =
        interfaceOf<IAMStreamConfig>(std::dynamic_pointer_cast<Unknown>(pin(0)->shared_from_this()));
    MediaType current;
    if (config) config->GetFormat(current);
    auto* formats = new QComboBox(&d);
    formats->setObjectName(QStringLiteral("format"));
    const auto& all = VirtualCamera::formats();
    for (size_t i = 0; i < all.size(); ++i) {
      const auto bmi = all[i].bitmapHeader();
      formats->addItem(QStringLiteral("%1 x %2 %3, %4 i/s")
                           .arg(bmi->biWidth)
                           .arg(bmi->biHeight)
                           .arg(all[i].subtype == MEDIASUBTYPE_YUY2   ? QStringLiteral("YUY2")
                                : all[i].subtype == MEDIASUBTYPE_MJPG ? QStringLiteral("MJPG")
                                                                      : QStringLiteral("RGB24"))
                           .arg(UNITS / std::max<REFERENCE_TIME>(1, all[i].averageTimePerFrame())));
      if (all[i] == current) formats->setCurrentIndex(static_cast<int>(i));
    }
    form->addRow(QStringLiteral("Format :"), formats);
    form->addRow(buttons);
    if (runDialog(d) == QDialog::Accepted && config && formats->currentIndex() >= 0)
      config->SetFormat(all[static_cast<size_t>(formats->currentIndex())]);
  } else {
    d.setWindowTitle(QStringLiteral("Affichage vidéo"));
    int32_t b = 0, c = 100, flags = 0;
    Get(VideoProcAmp_Brightness, b, flags);
    Get(VideoProcAmp_Contrast, c, flags);
    auto* brightness = new QSpinBox(&d);
    brightness->setObjectName(QStringLiteral("brightness"));
    brightness->setRange(-100, 100);
    brightness->setValue(b);
    auto* contrast = new QSpinBox(&d);
    contrast->setObjectName(QStringLiteral("contrast"));
    contrast->setRange(0, 200);
    contrast->setValue(c);
    form->addRow(QStringLiteral("Luminosité :"), brightness);
    form->addRow(QStringLiteral("Contraste :"), contrast);
    form->addRow(buttons);
    if (runDialog(d) == QDialog::Accepted) {
      Set(VideoProcAmp_Brightness, brightness->value(), VideoProcAmp_Flags_Manual);
      Set(VideoProcAmp_Contrast, contrast->value(), VideoProcAmp_Flags_Manual);
    }
  }
  return S_OK;
}

HRESULT VirtualTvCard::SendDriverMessage(int, int, intptr_t, intptr_t) { return E_NOTIMPL; }

}  // namespace vistrel::platform::devices
