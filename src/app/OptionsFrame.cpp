#include "app/OptionsFrame.h"

#include <QFont>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "engine/Tdm.h"
#include "platform/media/IAMVfwCompressDialogs.h"
#include "platform/media/IMoniker.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "platform/registry/Registry.h"
#include "platform/ui/PropertyFrame.h"
#include "platform/wmf/WmProfileManager.h"
#include "settings/Parameters.h"

namespace vistrel::app {

using namespace platform::media;
namespace reg = platform::registry;
namespace wmf = platform::wmf;

namespace {

const QString kLameKey = QStringLiteral("\\Software\\GNU\\LAME MPEG Layer III Audio Encoder Filter");

const QStringList& bitrates() {
  static const QStringList list = {"32",  "40",  "48",  "56",  "64",  "80",  "96",
                                   "112", "128", "160", "192", "224", "256", "320"};
  return list;
}

wmf::WMT_VERSION versionOfItem(int item) {
  switch (item) {
    case 0: return wmf::WMT_VER_4_0;
    case 1: return wmf::WMT_VER_7_0;
    default: return wmf::WMT_VER_8_0;
  }
}

QString friendlyName(IMoniker& moniker) {
  QVariant value;
  if (FAILED(moniker.Read(QStringLiteral("FriendlyName"), value))) return {};
  return value.toString();
}

QString monikerClassId(IMoniker& moniker) {
  QVariant value;
  if (FAILED(moniker.Read(QStringLiteral("CLSID"), value))) return {};
  return value.toString();
}

QCheckBox* checkBox(const QString& caption, const QString& hint, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setToolTip(hint);
  return box;
}

QToolButton* button(const QString& caption, const QString& hint, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setText(caption);
  b->setToolTip(hint);
  return b;
}

}  // namespace

// --- TRadioGroup --------------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& caption, int columns, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), columns_(columns < 1 ? 1 : columns) {
  buttons_->setExclusive(true);
  new QGridLayout(this);
  connect(buttons_, &QButtonGroup::idClicked, this, [this](int id) { emit clicked(id); });
}

void TRadioGroup::setItems(const QStringList& items) {
  for (QAbstractButton* b : buttons_->buttons()) {
    buttons_->removeButton(b);
    delete b;
  }
  auto* grid = static_cast<QGridLayout*>(layout());
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], this);
    buttons_->addButton(b, i);
    grid->addWidget(b, i / columns_, i % columns_);
  }
}

QStringList TRadioGroup::items() const {
  QStringList list;
  for (int i = 0; QAbstractButton* b = buttons_->button(i); ++i) list << b->text();
  return list;
}

int TRadioGroup::itemIndex() const { return buttons_->checkedId(); }

void TRadioGroup::setItemIndex(int index) {
  if (QAbstractButton* b = buttons_->button(index)) {
    b->setChecked(true);
    return;
  }
  // An exclusive group cannot uncheck its last button; lift the rule for a moment.
  buttons_->setExclusive(false);
  for (QAbstractButton* b : buttons_->buttons()) b->setChecked(false);
  buttons_->setExclusive(true);
}

void TRadioGroup::click(int index) {
  if (QAbstractButton* b = buttons_->button(index)) b->click();
}

// --- Pure helpers -------------------------------------------------------------------------

TDivxChoice ChooseDivx(const QStringList& compressors, const QString& favourite) {
  TDivxChoice choice;
  int fallback = 0;
  for (const QString& name : compressors) {
    const QString lower = name.toLower();
    if (lower.contains(QLatin1String("divx"))) {
      choice.names << name;
    } else if (lower.contains(QLatin1String("xvid"))) {
      choice.names << name;
      fallback = static_cast<int>(choice.names.size()) - 1;
    }
  }
  if (choice.names.isEmpty()) return choice;
  const int favoured = static_cast<int>(choice.names.indexOf(favourite));
  choice.selected = favoured >= 0 ? favoured : fallback;
  return choice;
}

QStringList SystemProfileNames(wmf::IWMProfileManager& manager) {
  QStringList names;
  uint32_t count = 0;
  if (FAILED(manager.GetSystemProfileCount(count))) return names;
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<wmf::IWMProfile> profile;
    QString name;
    if (SUCCEEDED(manager.LoadSystemProfile(i, profile)) && profile) {
      // Every profile is listed under its own name so that position i always names profile i.
      char16_t buffer[1024] = {};
      uint32_t length = 1024;
      if (SUCCEEDED(profile->GetName(buffer, length))) name = QString::fromUtf16(buffer);
    }
    names << name;
  }
  return names;
}

// --- TOptionsFrame ------------------------------------------------------------------------

TOptionsFrame::TOptionsFrame(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("OptionsFrame"));
  resize(275, 400);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  gbOptions = new QGroupBox(QStringLiteral("Options (F10)"), this);
  outer->addWidget(gbOptions);
  auto* inner = new QVBoxLayout(gbOptions);
  pages = new QTabWidget(gbOptions);
  pages->setDocumentMode(true);
  inner->addWidget(pages);
  buildPref();
  buildWmv();
  buildDivx();
  buildImages();
  buildDV();
  connectHandlers();
  pages->setCurrentIndex(0);
}

TOptionsFrame::~TOptionsFrame() = default;

void TOptionsFrame::SetProfileManager(std::shared_ptr<wmf::IWMProfileManager> manager) {
  manager_ = std::move(manager);
}

void TOptionsFrame::buildPref() {
  tsPref = new QWidget;
  auto* l = new QVBoxLayout(tsPref);
  cbConfirmerImage = checkBox(
      QStringLiteral("Confirmer avant d'écraser une image"),
      QStringLiteral("Toujours demander confirmation avant d'effacer un fichier image existant."), tsPref);
  cbConfirmerVideo = checkBox(
      QStringLiteral("Confirmer avant d'écraser une vidéo"),
      QStringLiteral("Toujours demander confirmation avant d'écraser un fichier video existant."), tsPref);
  cbNotifier =
      checkBox(QStringLiteral("Notifier les changements de sources"),
               QStringLiteral("Prise en compte automatique de la connexion de nouvelles sources\r\nou de la "
                              "déconnexion de sources existantes"),
               tsPref);
  cbActiverSuperposition =
      checkBox(QStringLiteral("Autoriser les effets sur la vidéo"),
               QStringLiteral("Décochez si votre système manque de ressources."), tsPref);
  cbMpeg2ratioNormal =
      checkBox(QStringLiteral("Afficher le mpeg2 normal en 4x3"),
               QStringLiteral("Lorsqu'un flux mpeg2 est traité, s'il ne donne pas \r\nd'indication "
                              "spécifique, on l'affiche par défaut au format 4x3."),
               tsPref);
  rgPrefs = new TRadioGroup(QStringLiteral("Comment sauver les préférences en quittant"), 1, tsPref);
  rgPrefs->setToolTip(
      QStringLiteral("Indiquer où les préférences seront conservées pour que vous les retrouviez "
                     "au prochain démarrage."));
  rgPrefs->setItems({QStringLiteral("Mode normal (registre)"), QStringLiteral("Mode portable (clé USB)"),
                     QStringLiteral("Ne pas enregistrer en quittant")});
  for (QWidget* w : std::initializer_list<QWidget*>{cbConfirmerImage, cbConfirmerVideo, cbNotifier,
                                                    cbActiverSuperposition, cbMpeg2ratioNormal, rgPrefs})
    l->addWidget(w);
  l->addStretch();
  pages->addTab(tsPref, QStringLiteral("Pref"));
}

void TOptionsFrame::buildWmv() {
  tsWmv = new QWidget;
  auto* l = new QVBoxLayout(tsWmv);
  cbDefaultProfile =
      checkBox(QStringLiteral("Utiliser les profils pré-programmés"),
               QStringLiteral("Cochez pour utiliser l'un des profils pré-programmés.\r\nDécochez pour "
                              "pouvoir choisir parmi tous les profils."),
               tsWmv);
  rgProfiles = new TRadioGroup(QStringLiteral("Profils par défaut"), 1, tsWmv);
  rgProfiles->setToolTip(QStringLiteral("profils de base proposés pour la capture wmv"));
  gbProfiles = new QGroupBox(QStringLiteral("Profils standards de wmv"), tsWmv);
  gbProfiles->setToolTip(QStringLiteral("Paramètres Windows media pour une capture en format Wmv."));
  auto* g = new QVBoxLayout(gbProfiles);
  labVersion = new QLabel(QStringLiteral("version\r\nde Windows Media"), gbProfiles);
  labVersion->setAlignment(Qt::AlignCenter);
  rgversion = new TRadioGroup(QString(), 3, gbProfiles);
  cboxMedia = new QComboBox(gbProfiles);
  cboxMedia->setEditable(false);
  g->addWidget(labVersion);
  g->addWidget(rgversion);
  g->addWidget(cboxMedia);
  l->addWidget(cbDefaultProfile);
  l->addWidget(rgProfiles);
  l->addWidget(gbProfiles);
  l->addStretch();
  pages->addTab(tsWmv, QStringLiteral("Wmv"));
}

void TOptionsFrame::buildDivx() {
  tsDivx = new QWidget;
  auto* l = new QVBoxLayout(tsDivx);
  gbDivx = new QGroupBox(QStringLiteral("DivX vidéo"), tsDivx);
  auto* g = new QGridLayout(gbDivx);
  cboxdivx = new QComboBox(gbDivx);
  cboxdivx->setEditable(true);
  cboxdivx->setToolTip(QStringLiteral("Liste des codecs DivX ou Xvid trouvés sur le système"));
  sbPropDivx =
      button(QStringLiteral("Propriétés"),
             QStringLiteral("Réglage fin du codec DivX ou Xvid.\r\nAttention à ne choisir que des réglages "
                            "en 1 passe!"),
             gbDivx);
  sbVersionDivx = button(QStringLiteral("version"), QStringLiteral("Version du codec DivX ou Xvid"), gbDivx);
  g->addWidget(cboxdivx, 0, 0, 1, 2);
  g->addWidget(sbPropDivx, 1, 0);
  g->addWidget(sbVersionDivx, 1, 1);
  rgRatioDivX = new TRadioGroup(QString(), 4, tsDivx);
  rgRatioDivX->setToolTip(QStringLiteral("Aspect de la vidéo capturée en DivX"));
  rgRatioDivX->setItems(
      {QStringLiteral("Normal"), QStringLiteral("4x3"), QStringLiteral("16x9"), QStringLiteral("natif")});
  cbDemiTaille =
      checkBox(QStringLiteral("Hauteur d'image DivX <= 288"),
               QStringLiteral("Si coché, alors l'image sera réduite de moitié\r\ndès que sa hauteur "
                              "dépasse 288 pixels."),
               tsDivx);
  cbMp3 = checkBox(QStringLiteral("Compression mp3"),
                   QStringLiteral("Si coché, la capture Divx ou Xvid comprime l'audio en mp3.\r\nSi décoché, "
                                  "l'audio reste en PCM non comprimé."),
                   tsDivx);
  gbMp3 = new QGroupBox(QStringLiteral("Mp3"), tsDivx);
  auto* m = new QGridLayout(gbMp3);
  labBitrate = new QLabel(QStringLiteral("Bitrate en kbits par s"), gbMp3);
  cboxBitratemp3 = new QComboBox(gbMp3);
  cboxBitratemp3->setEditable(false);
  cboxBitratemp3->setToolTip(
      QStringLiteral("Choix du bitrate mp3 en nombre de kilobits par secondes.\r\nPour "
                     "gagner de la place, 96Kbits est souvent suffisant."));
  sbPropMp3 =
      button(QStringLiteral("Avancé"),
             QStringLiteral("Réglages fins de la capture Mp3, notamment la fréquence audio\r\nsi on ne veut "
                            "pas garder 44100Hz en standard. Le bitrate ne sera cependant\r\npas modifié "
                            "ici, mais dans la boîte de dialogue spécialisée."),
             gbMp3);
  m->addWidget(labBitrate, 0, 0, 1, 2);
  m->addWidget(cboxBitratemp3, 1, 0);
  m->addWidget(sbPropMp3, 1, 1);
  MemoMp3 = new QLabel(QStringLiteral("Si vous installez  le filtre lame.ax de \nElecard, vous pourrez "
                                      "compresser l'audio en \nmp3."),
                       tsDivx);
  MemoMp3->setAlignment(Qt::AlignCenter);
  QFont italic = MemoMp3->font();
  italic.setItalic(true);
  MemoMp3->setFont(italic);
  for (QWidget* w : std::initializer_list<QWidget*>{gbDivx, rgRatioDivX, cbDemiTaille, cbMp3, gbMp3, MemoMp3})
    l->addWidget(w);
  l->addStretch();
  pages->addTab(tsDivx, QStringLiteral("DivX"));
}

void TOptionsFrame::buildImages() {
  tsImages = new QWidget;
  auto* l = new QVBoxLayout(tsImages);
  rgExtension = new TRadioGroup(QString(), 1, tsImages);
  rgExtension->setToolTip(QStringLiteral("Choisir le type de l'image enregistrée"));
  gbQuality = new QGroupBox(QStringLiteral("Qualité jpeg"), tsImages);
  gbQuality->setToolTip(QStringLiteral("Régler la qualité Jpeg.\r\nmini à gauche - maxi à droite"));
  auto* q = new QHBoxLayout(gbQuality);
  TrackBar1 = new QSlider(Qt::Horizontal, gbQuality);
  TrackBar1->setRange(1, 100);
  TrackBar1->setValue(50);
  TrackBar1->setToolTip(
      QStringLiteral("Qualité de l'image jpeg,\r\ndepuis 1 = la pire, mais utilise le moins de "
                     "place\r\njusqu'à 100 = la meilleure, mais utilise beaucoup de place."));
  labQuality = new QLabel(QStringLiteral("50"), gbQuality);
  q->addWidget(TrackBar1);
  q->addWidget(labQuality);
  gbQuality->hide();
  cbDeInterlacer =
      checkBox(QStringLiteral("Toujours désentrelacer les images"),
               QStringLiteral("Si coché, les images extraites seront toujours désentrelacées\r\nque la "
                              "video le soit ou non."),
               tsImages);
  l->addWidget(rgExtension);
  l->addWidget(gbQuality);
  l->addWidget(cbDeInterlacer);
  l->addStretch();
  pages->addTab(tsImages, QStringLiteral("Images"));
}

void TOptionsFrame::buildDV() {
  tsDV = new QWidget;
  tsDV->setToolTip(QStringLiteral("Caractères affichés s'il n'y a pas de datecode,\r\npar exemple N/A."));
  auto* l = new QVBoxLayout(tsDV);
  rgFrequenceDV = new TRadioGroup(QStringLiteral("Fréquence"), 1, tsDV);
  rgFrequenceDV->setToolTip(QStringLiteral("Fréquence utilisée pour compresser en DV type2"));
  rgFrequenceDV->setItems(
      {QStringLiteral("32.000 Hz"), QStringLiteral("44.100 Hz"), QStringLiteral("48.000 Hz")});
  rgStandard = new TRadioGroup(QStringLiteral("Standard"), 1, tsDV);
  rgStandard->setToolTip(QStringLiteral("Standard utilisé pour compresser en DV type2"));
  rgStandard->setItems({QStringLiteral("Pal"), QStringLiteral("Ntsc")});
  rgDVRatio = new TRadioGroup(QStringLiteral("Ratio"), 1, tsDV);
  rgDVRatio->setToolTip(
      QStringLiteral("Aspect de l'image capturée en DV.\r\nUtilisé pour une recompression en DV type 2."));
  rgDVRatio->setItems({QStringLiteral("4x3"), QStringLiteral("16x9")});
  cbfrequenceDVNative =
      checkBox(QStringLiteral("Garder la fréquence native si possible"),
               QStringLiteral("Garde la fréquence audio d'origine lors d'une recompression\r\nen DV "
                              "type2, pourvu que celle-ci soit 32.000, 44.100 ou 48.000"),
               tsDV);
  cbGarderFormatDV =
      checkBox(QStringLiteral("Garder le format DV"),
               QStringLiteral("Si coché, alors une recompression de DV en DV type 2 (par exemple pour "
                              "faire une incrustation) garde le format\r\nde la vidéo d'origine."),
               tsDV);
  cbDVDemiSiDivX =
      checkBox(QStringLiteral("Demi format si compression DivX"),
               QStringLiteral("Si on capture depuis une caméra DV vers un fichier DivX,\r\nalors l'image "
                              "sera réduite de moitié sur la source pour économiser des\r\nressources."),
               tsDV);
  cbScn =
      checkBox(QStringLiteral("Créer un fichier scn"),
               QStringLiteral("Créer un fichier scn qui accélère l'ouverture dans Studio de Pinnacle,\r\net "
                              "permet de naviguer de scène en scène avec Kronel."),
               tsDV);
  labNoDatecode = new QLabel(QStringLiteral("Affichage si pas de datecode"), tsDV);
  leNoDatecode = new QLineEdit(tsDV);
  labNoDatecode->setBuddy(leNoDatecode);
  for (QWidget* w :
       std::initializer_list<QWidget*>{rgFrequenceDV, rgStandard, rgDVRatio, cbfrequenceDVNative,
                                       cbGarderFormatDV, cbDVDemiSiDivX, cbScn, labNoDatecode, leNoDatecode})
    l->addWidget(w);
  l->addStretch();
  pages->addTab(tsDV, QStringLiteral("DV"));
}

void TOptionsFrame::writeBoolean(const char* key, bool value) const {
  if (params_) params_->Boolean(QString::fromUtf8(key)).Value = value ? 1 : 0;
}

void TOptionsFrame::writeInteger(const char* key, int value) const {
  if (params_) params_->Integer(QString::fromUtf8(key)).Value = value;
}

void TOptionsFrame::connectHandlers() {
  auto boolean = [this](QCheckBox* box, const char* key, std::function<void(bool)>* then = nullptr) {
    connect(box, &QCheckBox::toggled, this, [this, key, then](bool on) {
      writeBoolean(key, on);
      if (then && *then) (*then)(on);
    });
  };
  boolean(cbConfirmerImage, "Confirmer Image");
  boolean(cbConfirmerVideo, "Confirmer Video");
  boolean(cbNotifier, "Notifier", &OnNotifierChanged);
  boolean(cbActiverSuperposition, "Activer Superposition", &OnSuperpositionChanged);
  boolean(cbMpeg2ratioNormal, "Mpeg2 Ratio Normal");
  boolean(cbDeInterlacer, "Internal Deinterlacer");
  boolean(cbfrequenceDVNative, "Frequence DV native");
  boolean(cbGarderFormatDV, "Garder Format DV");
  boolean(cbDVDemiSiDivX, "DV demi si DivX");
  boolean(cbScn, "scn");
  connect(cbDefaultProfile, &QCheckBox::toggled, this, [this](bool on) {
    writeBoolean("Profil par défaut", on);
    showProfileGroups();
  });
  connect(cbMp3, &QCheckBox::toggled, this, [this](bool on) {
    writeBoolean("Want Mp3", on);
    showMp3Controls();
  });
  // "Demi Taille" reaches the resizer at once: a change that waited for the next start would
  // leave the box showing what the recordings do not do.
  boolean(cbDemiTaille, "Demi Taille");

  connect(rgPrefs, &TRadioGroup::clicked, this, [this](int index) {
    if (index == storeMode_) return;
    storeMode_ = static_cast<settings::TSavePreferences>(index);
    if (OnStoreModeChosen) OnStoreModeChosen(storeMode_);
  });
  connect(rgversion, &TRadioGroup::clicked, this, [this](int) { RemplirProfilsWmv(); });
  connect(rgRatioDivX, &TRadioGroup::clicked, this, [this](int index) {
    if (params_) params_->Enum(QStringLiteral("Ratio DivX")).Value = static_cast<uint8_t>(index);
  });
  connect(rgExtension, &TRadioGroup::clicked, this, [this](int index) {
    writeInteger("Extension des images", index);
    showQuality();
    if (OnExtensionChanged) OnExtensionChanged(index);
  });
  connect(rgFrequenceDV, &TRadioGroup::clicked, this, [this](int index) {
    if (params_) params_->Enum(QStringLiteral("FrequenceDV")).Value = static_cast<uint8_t>(index + 1);
  });
  connect(rgStandard, &TRadioGroup::clicked, this, [this](int index) {
    if (params_) params_->Enum(QStringLiteral("Standard DV")).Value = static_cast<uint8_t>(index);
  });
  connect(rgDVRatio, &TRadioGroup::clicked, this, [this](int index) {
    if (params_) params_->Enum(QStringLiteral("RatioDV")).Value = static_cast<uint8_t>(index);
  });
  connect(TrackBar1, &QSlider::valueChanged, this,
          [this](int v) { labQuality->setText(QString::number(v)); });
  connect(leNoDatecode, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (params_) params_->String(QStringLiteral("No Datecode")).Value = text;
  });
  connect(cboxdivx, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { cboxdivxChange(text); });
  connect(cboxBitratemp3, &QComboBox::activated, this, [this](int) { cboxBitratemp3Change(); });
  connect(sbPropDivx, &QToolButton::clicked, this, [this] { sbPropDivxClick(); });
  connect(sbVersionDivx, &QToolButton::clicked, this, [this] { sbVersionDivxClick(); });
  connect(sbPropMp3, &QToolButton::clicked, this, [this] { sbPropMp3Click(); });
}

void TOptionsFrame::TextesOptions() {
  rgversion->setItems({QStringLiteral("4"), QStringLiteral("7"), QStringLiteral("8")});
  rgProfiles->setItems(
      {QStringLiteral("High"), QStringLiteral("Medium"), QStringLiteral("Low"), QStringLiteral("Internet")});
  cboxBitratemp3->clear();
  cboxBitratemp3->addItems(bitrates());
  rgExtension->setItems({QStringLiteral("bmp"), QStringLiteral("jpeg")});
  filling_ = true;
  cboxdivx->setEditText(QStringLiteral("cboxdivx"));
  filling_ = false;
  labQuality->setText(QStringLiteral("50"));
  for (QWidget* w : std::initializer_list<QWidget*>{gbOptions, gbMp3, MemoMp3}) {
    QFont f = w->font();
    f.setFamily(QStringLiteral("Arial"));
    w->setFont(f);
  }
}

void TOptionsFrame::showProfileGroups() {
  const bool presets = cbDefaultProfile->isChecked();
  rgProfiles->setVisible(presets);
  gbProfiles->setVisible(!presets);
}

void TOptionsFrame::showMp3Controls() {
  const bool both = divxFound_ && mp3Found_;
  cbMp3->setVisible(both);
  cboxBitratemp3->setVisible(both);
  sbPropMp3->setVisible(both);
  gbMp3->setVisible(mp3Found_ && cbMp3->isChecked());
  MemoMp3->setVisible(!mp3Found_);
}

void TOptionsFrame::showQuality() { gbQuality->setVisible(rgExtension->itemIndex() == 1); }

void TOptionsFrame::ShowExtension(int extension) {
  rgExtension->setItemIndex(extension);
  showQuality();
}

void TOptionsFrame::SetStoreMode(settings::TSavePreferences mode) {
  storeMode_ = mode;
  rgPrefs->setItemIndex(mode);
}

void TOptionsFrame::LoadFromParameters(settings::TSavePreferences storeMode) {
  if (!params_) return;
  auto& p = *params_;
  auto b = [&](const char* key) { return p.Boolean(QString::fromUtf8(key)).Value != 0; };
  auto set = [](QCheckBox* box, bool on) {
    const QSignalBlocker quiet(box);
    box->setChecked(on);
  };
  {
    const QSignalBlocker quiet(TrackBar1);
    TrackBar1->setValue(p.Integer(QStringLiteral("Qualité jpeg")).Value);
  }
  labQuality->setText(QString::number(TrackBar1->value()));
  rgExtension->setItemIndex(p.Integer(QStringLiteral("Extension des images")).Value);
  set(cbConfirmerImage, b("Confirmer Image"));
  set(cbConfirmerVideo, b("Confirmer Video"));
  set(cbMpeg2ratioNormal, b("Mpeg2 Ratio Normal"));
  set(cbScn, b("scn"));
  set(cbDVDemiSiDivX, b("DV demi si DivX"));
  set(cbDeInterlacer, b("Internal Deinterlacer"));
  {
    const QSignalBlocker quiet(leNoDatecode);
    leNoDatecode->setText(p.String(QStringLiteral("No Datecode")).Value);
  }
  rgStandard->setItemIndex(p.Enum(QStringLiteral("Standard DV")).Value);
  // Code 0 (the source's own rate) has no item: nothing is shown and the code is kept on save.
  rgFrequenceDV->setItemIndex(static_cast<int>(p.Enum(QStringLiteral("FrequenceDV")).Value) - 1);
  rgDVRatio->setItemIndex(p.Enum(QStringLiteral("RatioDV")).Value);
  rgRatioDivX->setItemIndex(p.Enum(QStringLiteral("Ratio DivX")).Value);
  set(cbfrequenceDVNative, b("Frequence DV native"));
  set(cbGarderFormatDV, b("Garder Format DV"));
  set(cbDemiTaille, b("Demi Taille"));
  rgProfiles->setItemIndex(p.Integer(QStringLiteral("Profile wmv")).Value);
  set(cbNotifier, b("Notifier"));
  set(cbMp3, b("Want Mp3"));
  set(cbDefaultProfile, b("Profil par défaut"));
  showProfileGroups();
  set(cbActiverSuperposition, b("Activer Superposition"));
  if (OnSuperpositionChanged) OnSuperpositionChanged(cbActiverSuperposition->isChecked());
  SetStoreMode(storeMode);
  showQuality();
  showMp3Controls();
  if (OnNotifierChanged) OnNotifierChanged(cbNotifier->isChecked());
}

void TOptionsFrame::SaveToParameters() const {
  if (!params_) return;
  auto& p = *params_;
  auto b = [&](const char* key, const QCheckBox* box) {
    p.Boolean(QString::fromUtf8(key)).Value = box->isChecked() ? 1 : 0;
  };
  auto e = [&](const char* key, const TRadioGroup* group) {
    if (group->itemIndex() >= 0)
      p.Enum(QString::fromUtf8(key)).Value = static_cast<uint8_t>(group->itemIndex());
  };
  auto i = [&](const char* key, const TRadioGroup* group) {
    if (group->itemIndex() >= 0) p.Integer(QString::fromUtf8(key)).Value = group->itemIndex();
  };
  p.Integer(QStringLiteral("Qualité jpeg")).Value = TrackBar1->value();
  i("Extension des images", rgExtension);
  i("Version wmv", rgversion);
  e("Standard DV", rgStandard);
  e("RatioDV", rgDVRatio);
  e("Ratio DivX", rgRatioDivX);
  i("Profile wmv", rgProfiles);
  if (rgFrequenceDV->itemIndex() >= 0)
    p.Enum(QStringLiteral("FrequenceDV")).Value = static_cast<uint8_t>(rgFrequenceDV->itemIndex() + 1);
  p.String(QStringLiteral("Profil Windows media")).Value = cboxMedia->currentText();
  p.String(QStringLiteral("Profil wmv favori")).Value = cboxMedia->currentText();
  p.String(QStringLiteral("Divx favori")).Value = cboxdivx->currentText();
  p.String(QStringLiteral("No Datecode")).Value = leNoDatecode->text();
  b("Confirmer Image", cbConfirmerImage);
  b("Confirmer Video", cbConfirmerVideo);
  b("Mpeg2 Ratio Normal", cbMpeg2ratioNormal);
  b("scn", cbScn);
  b("DV demi si DivX", cbDVDemiSiDivX);
  b("Frequence DV native", cbfrequenceDVNative);
  b("Garder Format DV", cbGarderFormatDV);
  b("Demi Taille", cbDemiTaille);
  b("Want Mp3", cbMp3);
  b("Internal Deinterlacer", cbDeInterlacer);
  b("Notifier", cbNotifier);
  b("Profil par défaut", cbDefaultProfile);
  b("Activer Superposition", cbActiverSuperposition);
}

void TOptionsFrame::bindDivx(const QString& name) {
  if (!dm_) return;
  try {
    dm_->divx.setGraph(nullptr);
    std::shared_ptr<IMoniker> match;
    for (const auto& moniker : SystemDeviceEnum::create()->monikers(CLSID_VideoCompressorCategory))
      if (friendlyName(*moniker).compare(name, Qt::CaseInsensitive) == 0) match = moniker;
    if (match) dm_->divx.bindMoniker(match);
  } catch (const std::exception&) {
  }
}

void TOptionsFrame::cboxdivxChange(const QString& text) {
  if (filling_) return;
  bindDivx(text);
  if (params_) params_->String(QStringLiteral("Divx favori")).Value = text;
}

void TOptionsFrame::populate() {
  QStringList compressors;
  try {
    for (const auto& moniker : SystemDeviceEnum::create()->monikers(CLSID_VideoCompressorCategory))
      compressors << friendlyName(*moniker);
  } catch (const std::exception&) {
  }
  const QString favourite = params_ ? params_->String(QStringLiteral("Divx favori")).Value : QString();
  const TDivxChoice choice = ChooseDivx(compressors, favourite);
  filling_ = true;
  cboxdivx->clear();
  cboxdivx->addItems(choice.names);
  divxFound_ = !choice.names.isEmpty();
  if (divxFound_) {
    cboxdivx->setCurrentIndex(choice.selected);
    cboxdivx->setEditText(choice.names[choice.selected]);
  }
  filling_ = false;
  if (divxFound_) bindDivx(cboxdivx->currentText());
  pages->setTabVisible(2, divxFound_);

  mp3Found_ = false;
  if (dm_) {
    try {
      dm_->mp3.setGraph(nullptr);
      for (const auto& moniker : SystemDeviceEnum::create()->monikers(CLSID_LegacyAmFilterCategory)) {
        GUID id;
        if (GUID::fromString(monikerClassId(*moniker), id) && id == CLSID_LameMp3Encoder) {
          mp3Found_ = SUCCEEDED(dm_->mp3.bindMoniker(moniker));
          break;
        }
      }
    } catch (const std::exception&) {
    }
  }
  if (params_) {
    const QSignalBlocker quiet(cbMp3);
    cbMp3->setChecked(params_->Boolean(QStringLiteral("Want Mp3")).Value != 0);
  }
  showMp3Controls();
  if (mp3Found_) {
    if (auto value = reg::queryValue(reg::Hive::CurrentUser, kLameKey, QStringLiteral("Bitrate"))) {
      if (auto kbps = reg::decodeDword(*value)) {
        const int at = static_cast<int>(bitrates().indexOf(QString::number(*kbps)));
        if (at >= 0) cboxBitratemp3->setCurrentIndex(at);
      }
    }
  }
}

void TOptionsFrame::cboxBitratemp3Change() {
  bool ok = false;
  const uint32_t kbps = cboxBitratemp3->currentText().toUInt(&ok);
  const bool written =
      ok && reg::keyExists(reg::Hive::CurrentUser, kLameKey) &&
      reg::setValue(reg::Hive::CurrentUser, kLameKey, QStringLiteral("Bitrate"), reg::dwordValue(kbps));
  if (!written) cboxBitratemp3->setCurrentIndex(static_cast<int>(bitrates().indexOf(QStringLiteral("128"))));
}

bool TOptionsFrame::RemplirProfilsWmv() {
  cboxMedia->clear();
  if (!manager_) return false;
  if (FAILED(manager_->SetSystemProfileVersion(versionOfItem(rgversion->itemIndex())))) return false;
  cboxMedia->addItems(SystemProfileNames(*manager_));
  if (cboxMedia->count() > 0) cboxMedia->setCurrentIndex(0);
  return true;
}

void TOptionsFrame::SelectFavouriteProfile() {
  if (cboxMedia->count() == 0) {
    cboxMedia->setCurrentIndex(-1);
    return;
  }
  const QString favourite = params_ ? params_->String(QStringLiteral("Profil wmv favori")).Value : QString();
  const int at = cboxMedia->findText(favourite);
  cboxMedia->setCurrentIndex(at >= 0 ? at : 0);
}

std::shared_ptr<wmf::IWMProfile> TOptionsFrame::ProfilWmvChoisi() const {
  // The check box decides between the preset and the listed system profile, so that what the
  // page shows is what is recorded; entry i is system profile i.
  if (cbDefaultProfile->isChecked() || !manager_ || cboxMedia->currentIndex() < 0) return nullptr;
  std::shared_ptr<wmf::IWMProfile> profile;
  if (FAILED(manager_->SetSystemProfileVersion(versionOfItem(rgversion->itemIndex()))) ||
      FAILED(manager_->LoadSystemProfile(static_cast<uint32_t>(cboxMedia->currentIndex()), profile)))
    return nullptr;
  return profile;
}

void TOptionsFrame::ShowFormatPage(uint8_t captureFormat) {
  // 7 "Wmv", 9 "divx", 12 "mp3".
  const int page = captureFormat == 7 ? 1 : (captureFormat == 9 || captureFormat == 12) ? 2 : 4;
  pages->setCurrentIndex(page);
}

void TOptionsFrame::sbPropDivxClick() {
  if (!dm_ || !dm_->divx.filter()) return;
  const auto previous = dm_->divx.graph();
  dm_->divx.setGraph(dm_->Graph());
  if (auto dialogs = dm_->divx.filter()->queryInterface<IAMVfwCompressDialogs>())
    if (SUCCEEDED(dialogs->ShowDialog(VfwCompressDialog_QueryConfig, window())))
      dialogs->ShowDialog(VfwCompressDialog_Config, window());
  dm_->divx.setGraph(previous);
}

void TOptionsFrame::sbVersionDivxClick() {
  if (!dm_ || !dm_->divx.filter()) return;
  dm_->divx.setGraph(dm_->Graph());
  if (auto dialogs = dm_->divx.filter()->queryInterface<IAMVfwCompressDialogs>())
    if (SUCCEEDED(dialogs->ShowDialog(VfwCompressDialog_QueryAbout, window())))
      dialogs->ShowDialog(VfwCompressDialog_About, window());
  dm_->divx.setGraph(nullptr);
}

void TOptionsFrame::sbPropMp3Click() {
  if (!dm_ || !dm_->mp3.filter()) return;
  const auto previous = dm_->mp3.graph();
  dm_->mp3.setGraph(dm_->Graph());
  QString name;
  FILTER_INFO info;
  if (SUCCEEDED(dm_->mp3.filter()->QueryFilterInfo(info))) name = info.achName;
  platform::ui::OleCreatePropertyFrame(tsDivx, 0, 0, name, dm_->mp3.filter());
  dm_->mp3.setGraph(previous);
}

}  // namespace vistrel::app
