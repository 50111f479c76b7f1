#pragma once
// The options panel: overwrite confirmations, device-change notification, picture effects, the
// settings store, the Windows Media profile of "Wmv" captures, the DivX encoder and MP3 audio of
// "divx" captures, grabbed pictures and DV recompression. Most controls write their parameter
// as soon as they change; all of them are copied back by SaveToParameters. The panel also finds
// the DivX/Xvid and MP3 encoders and points the engine's `divx` and `mp3` components at them.
//
// User-interface thread only.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStringList>
#include <QTabWidget>
#include <QToolButton>
#include <functional>
#include <memory>

#include "settings/SavePreferences.h"

namespace vistrel::settings {
class TparameterList;
}
namespace vistrel::engine {
class Tdm;
}
namespace vistrel::platform::wmf {
class IWMProfile;
class IWMProfileManager;
}  // namespace vistrel::platform::wmf

namespace vistrel::app {

// A captioned group of exclusive choices; the item index is -1 when none is chosen.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  explicit TRadioGroup(const QString& caption = QString(), int columns = 1, QWidget* parent = nullptr);
  void setItems(const QStringList& items);
  QStringList items() const;
  int itemIndex() const;
  // Selects without emitting `clicked`; an index out of range selects nothing.
  void setItemIndex(int index);
  // As a user's click: selects and emits `clicked`.
  void click(int index);

 signals:
  void clicked(int index);

 private:
  QButtonGroup* buttons_;
  int columns_;
};

// The DivX list as `populate` builds it from the video compressors' names: the names holding
// "divx" or "xvid" (any case), in order; the entry equal to the favourite is selected, otherwise
// the last Xvid entry, otherwise the first.
struct TDivxChoice {
  QStringList names;
  int selected = -1;
};
TDivxChoice ChooseDivx(const QStringList& compressors, const QString& favourite);

// The entries of a Windows Media profile list; they name the system profiles of the manager's
// current version in order, a profile without video keeping the previous entry's name.
QStringList SystemProfileNames(platform::wmf::IWMProfileManager& manager);

class TOptionsFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TOptionsFrame(QWidget* parent = nullptr);
  ~TOptionsFrame() override;

  // --- Collaborators, set by the main window ---------------------------------------------
  void SetParameters(settings::TparameterList* parameters) { params_ = parameters; }
  void SetEngine(engine::Tdm* dm) { dm_ = dm; }
  // Null when the Windows Media runtime is missing: the profile list stays empty.
  void SetProfileManager(std::shared_ptr<platform::wmf::IWMProfileManager> manager);
  // "Notifier" changed (true: changes are notified, the device-lost event goes nowhere).
  std::function<void(bool)> OnNotifierChanged;
  // "Activer Superposition" changed.
  std::function<void(bool)> OnSuperpositionChanged;
  // The user chose another store mode than the one in force.
  std::function<void(settings::TSavePreferences)> OnStoreModeChosen;
  // "Extension des images" changed (0 bmp, 1 jpeg).
  std::function<void(int)> OnExtensionChanged;

  // --- Operations --------------------------------------------------------------------------
  void TextesOptions();
  void LoadFromParameters(settings::TSavePreferences storeMode);
  void SaveToParameters() const;
  void populate();
  // False without a profile manager (the list is then empty).
  bool RemplirProfilsWmv();
  // ChargerPrefs2's selection: the entry equal to "Profil wmv favori", else the first entry.
  void SelectFavouriteProfile();
  // The system profile (selected position - 1) of the chosen version; null for the preset
  // (position 0 or none) or without a manager.
  std::shared_ptr<platform::wmf::IWMProfile> ProfilWmvChoisi() const;
  // Shows page 1 for "Wmv", 2 for "divx" and "mp3", 4 otherwise.
  void ShowFormatPage(uint8_t captureFormat);
  void SetStoreMode(settings::TSavePreferences mode);
  // Shows an extension chosen elsewhere (0 bmp, 1 jpeg) without reporting it back.
  void ShowExtension(int extension);

  bool DivxFound() const { return divxFound_; }
  bool Mp3Found() const { return mp3Found_; }

  // --- Controls ----------------------------------------------------------------------------
  QGroupBox* gbOptions;
  QTabWidget* pages;
  QWidget* tsPref;
  QWidget* tsWmv;
  QWidget* tsDivx;
  QWidget* tsImages;
  QWidget* tsDV;

  QCheckBox* cbConfirmerImage;
  QCheckBox* cbConfirmerVideo;
  QCheckBox* cbNotifier;
  QCheckBox* cbActiverSuperposition;
  QCheckBox* cbMpeg2ratioNormal;
  TRadioGroup* rgPrefs;

  QCheckBox* cbDefaultProfile;
  TRadioGroup* rgProfiles;
  QGroupBox* gbProfiles;
  QLabel* labVersion;
  TRadioGroup* rgversion;
  QComboBox* cboxMedia;

  QGroupBox* gbDivx;
  QComboBox* cboxdivx;
  QToolButton* sbPropDivx;
  QToolButton* sbVersionDivx;
  TRadioGroup* rgRatioDivX;
  QCheckBox* cbDemiTaille;
  QCheckBox* cbMp3;
  QGroupBox* gbMp3;
  QLabel* labBitrate;
  QComboBox* cboxBitratemp3;
  QToolButton* sbPropMp3;
  QLabel* MemoMp3;

  TRadioGroup* rgExtension;
  QGroupBox* gbQuality;
  QSlider* TrackBar1;
  QLabel* labQuality;
  QCheckBox* cbDeInterlacer;

  TRadioGroup* rgFrequenceDV;
  TRadioGroup* rgStandard;
  TRadioGroup* rgDVRatio;
  QCheckBox* cbfrequenceDVNative;
  QCheckBox* cbGarderFormatDV;
  QCheckBox* cbDVDemiSiDivX;
  QCheckBox* cbScn;
  QLabel* labNoDatecode;
  QLineEdit* leNoDatecode;

 private:
  void buildPref();
  void buildWmv();
  void buildDivx();
  void buildImages();
  void buildDV();
  void connectHandlers();
  void writeBoolean(const char* key, bool value) const;
  void writeInteger(const char* key, int value) const;
  void showProfileGroups();
  void showMp3Controls();
  void showQuality();
  void bindDivx(const QString& name);
  void cboxdivxChange(const QString& text);
  void cboxBitratemp3Change();
  void sbPropDivxClick();
  void sbVersionDivxClick();
  void sbPropMp3Click();

  settings::TparameterList* params_ = nullptr;
  engine::Tdm* dm_ = nullptr;
  std::shared_ptr<platform::wmf::IWMProfileManager> manager_;
  bool divxFound_ = false;
  bool mp3Found_ = false;
  bool filling_ = false;  // the DivX list is being filled: its changes are not the user's
  settings::TSavePreferences storeMode_ = settings::spRegistre;
};

}  // namespace vistrel::app
