#pragma once
// The preferences component: decides where the user's preferences live (registry, ini file
// beside the program, or nowhere), owns the matching component store, tells its owner window
// when to load and when to save, asks at the first exit where to save, and deletes the stores of
// the modes that are not in force.
//
// The owner is a top-level widget. The component watches the owner's show and close events
// through an event filter and runs the owner's own handlers (showEvent, closeEvent) at the
// places of its sequence: at each show, the mode is detected and applied, then the owner's
// showEvent runs, then OnLoadPrefs; at the close request, the owner's closeEvent runs first,
// then the save dialog (when no mode is chosen yet), the root values and OnSavePrefs, after
// which the component stops watching. Main thread only.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "settings/PreferencesMan.h"
#include "settings/SavePreferences.h"
#include "settings/SavePrefsForm.h"

class QCloseEvent;
class QShowEvent;
class QWidget;

namespace vistrel::settings {

class TOrbanoPreferences : public QObject {
  Q_OBJECT

 public:
  using TSavePrefsEvent = std::function<void(TOrbanoPreferences& gp)>;
  using TLoadPrefsEvent = std::function<void(TOrbanoPreferences& gp)>;
  using TChangeModeEvent = std::function<void(TSavePreferences aMode)>;

  // Mode spNone with a store that keeps nothing; nothing is read yet. When `owner` is a window
  // the component starts watching it; it is destroyed with its owner.
  explicit TOrbanoPreferences(QWidget* owner);
  ~TOrbanoPreferences() override;

  TChangeModeEvent OnChangeMode;  // after each application of a mode
  TLoadPrefsEvent OnLoadPrefs;    // when the owner is shown, after its own show handler
  TSavePrefsEvent OnSavePrefs;    // when the owner is about to close and a mode is in force
  // When the exit dialog was closed without a choice: the owner stays open, after its own close
  // handler has run.
  std::function<void()> OnCloseRefused;

  // The bare application name: it names the ini file and the registry key.
  const QString& titre() const { return titre_; }
  void settitre(const QString& text) { titre_ = text; }
  // The full name with version and author, stored as "Version".
  const QString& version() const { return version_; }
  void setversion(const QString& text) { version_ = text; }

  TSavePreferences Mode() const { return mode_; }
  // Applies `mode` unless it is already in force.
  void SetMode(TSavePreferences mode);

  // In mode spNone, or when the store has no usable value, the default.
  bool ReadBoolean(const QString& key, bool defaultValue);
  int32_t ReadInteger(const QString& key, int32_t defaultValue);
  QString ReadString(const QString& key, const QString& defaultValue);
  // The subsection `key` with "Left", "Top", "Right" and "Bottom"; the default unless all four
  // are there.
  TRect ReadRect(const QString& key, const TRect& defaultValue);
  // False in mode spNone, else the store's result.
  bool WriteBoolean(const QString& key, bool value);
  bool WriteInteger(const QString& key, int32_t value);
  bool WriteString(const QString& key, const QString& value);
  bool WriteRect(const QString& key, const TRect& value);

  // The program folder + titre + ".ini".
  QString IniFile() const;
  // "Software\Orbano\" + titre, below HKEY_CURRENT_USER.
  QString RegistryKey() const;
  // The program folder, with "/".
  const QString& ProgramFolder() const { return programFolder_; }
  // The folder of the "ExeName" found in the ini file when the portable mode was last applied:
  // the folder from which the settings were last saved.
  const QString& SavedExeFolder() const { return savedExeFolder_; }
  TPreferencesMan& Store() const { return *store_; }
  TSavePrefsForm& Dialog() const { return *dialog_; }
  // Whether the owner's show and close events are still watched.
  bool Watching() const { return watching_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void applyMode();
  TSavePreferences detectMode() const;
  void ownerShow(QShowEvent* event);
  void ownerCloseQuery(QCloseEvent* event);
  void forwardToOwner(QEvent* event);
  void stopWatching();

  QPointer<QWidget> owner_;
  bool watching_ = false;
  bool forwarding_ = false;
  QString programFolder_;
  QString savedExeFolder_;
  std::unique_ptr<TPreferencesMan> store_;
  TSavePreferences mode_ = spNone;
  QString titre_;
  QString version_;
  QPointer<TSavePrefsForm> dialog_;
};

}  // namespace vistrel::settings
