#include "settings/OrbanoPreferences.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QShowEvent>
#include <QWidget>

#include "platform/Environment.h"
#include "platform/registry/Registry.h"
#include "settings/Parameters.h"
#include "settings/SavePrefsForm.h"
#include "settings/SettingsContext.h"

namespace vistrel::settings {

namespace reg = platform::registry;

namespace {
const QString kMakerKey = QStringLiteral("Software\\Orbano");
}

TOrbanoPreferences::TOrbanoPreferences(QWidget* owner)
    : QObject(owner),
      owner_(owner),
      programFolder_(platform::withTrailingSlash(platform::programFolder())),
      store_(std::make_unique<TNonePreferencesMan>()),
      dialog_(new TSavePrefsForm(owner)) {
  if (owner && owner->isWindow()) {
    owner->installEventFilter(this);
    watching_ = true;
  }
}

TOrbanoPreferences::~TOrbanoPreferences() {
  delete dialog_.data();
  store_.reset();  // an ini store writes its file now, after everything the close request did
}

QString TOrbanoPreferences::IniFile() const { return programFolder_ + titre_ + QStringLiteral(".ini"); }

QString TOrbanoPreferences::RegistryKey() const { return kMakerKey + QLatin1Char('\\') + titre_; }

void TOrbanoPreferences::SetMode(TSavePreferences mode) {
  if (mode == mode_) return;
  mode_ = mode;
  applyMode();
}

void TOrbanoPreferences::applyMode() {
  store_.reset();
  switch (mode_) {
    case spRegistre: store_ = std::make_unique<TRegPreferencesMan>(RegistryKey(), true); break;
    case spPortable: store_ = std::make_unique<TIniPreferencesMan>(IniFile(), true); break;
    case spNone: store_ = std::make_unique<TNonePreferencesMan>(); break;
  }
  if (mode_ == spPortable) {
    QString exe;
    store_->ReadString(QStringLiteral("ExeName"), exe);
    savedExeFolder_ = exe.left(exe.lastIndexOf(QLatin1Char('/')) + 1);
    SetPortableSaveFolder(savedExeFolder_);
  }
  if (OnChangeMode) OnChangeMode(mode_);
  if (mode_ != spPortable && QFile::exists(IniFile())) QFile::remove(IniFile());
  // Without a title the key would be the maker key itself, which holds other programs' keys.
  if (mode_ != spRegistre && !titre_.isEmpty()) {
    reg::deleteKey(reg::Hive::CurrentUser, RegistryKey());
    if (reg::keyExists(reg::Hive::CurrentUser, kMakerKey) &&
        reg::subkeyNames(reg::Hive::CurrentUser, kMakerKey).isEmpty())
      reg::deleteKey(reg::Hive::CurrentUser, kMakerKey);
  }
}

TSavePreferences TOrbanoPreferences::detectMode() const {
  if (QFile::exists(IniFile())) return spPortable;
  if (!titre_.isEmpty() && reg::keyExists(reg::Hive::CurrentUser, RegistryKey())) return spRegistre;
  return spNone;
}

bool TOrbanoPreferences::ReadBoolean(const QString& key, bool defaultValue) {
  bool value = defaultValue;
  if (mode_ == spNone || !store_->ReadBoolean(key, value)) return defaultValue;
  return value;
}

int32_t TOrbanoPreferences::ReadInteger(const QString& key, int32_t defaultValue) {
  int32_t value = defaultValue;
  if (mode_ == spNone || !store_->ReadInteger(key, value)) return defaultValue;
  return value;
}

QString TOrbanoPreferences::ReadString(const QString& key, const QString& defaultValue) {
  QString value = defaultValue;
  if (mode_ == spNone || !store_->ReadString(key, value)) return defaultValue;
  return value;
}

TRect TOrbanoPreferences::ReadRect(const QString& key, const TRect& defaultValue) {
  if (mode_ == spNone || !store_->OpenSection(key, false)) return defaultValue;
  TRect r;
  const bool top = store_->ReadInteger(QStringLiteral("Top"), r.Top);
  const bool left = store_->ReadInteger(QStringLiteral("Left"), r.Left);
  const bool right = store_->ReadInteger(QStringLiteral("Right"), r.Right);
  const bool bottom = store_->ReadInteger(QStringLiteral("Bottom"), r.Bottom);
  store_->CloseSection();
  return top && left && right && bottom ? r : defaultValue;
}

bool TOrbanoPreferences::WriteBoolean(const QString& key, bool value) {
  return mode_ != spNone && store_->WriteBoolean(key, value);
}

bool TOrbanoPreferences::WriteInteger(const QString& key, int32_t value) {
  return mode_ != spNone && store_->WriteInteger(key, value);
}

bool TOrbanoPreferences::WriteString(const QString& key, const QString& value) {
  return mode_ != spNone && store_->WriteString(key, value);
}

bool TOrbanoPreferences::WriteRect(const QString& key, const TRect& value) {
  if (mode_ == spNone || !store_->OpenSection(key, true)) return false;
  const bool left = store_->WriteInteger(QStringLiteral("Left"), value.Left);
  const bool top = store_->WriteInteger(QStringLiteral("Top"), value.Top);
  const bool right = store_->WriteInteger(QStringLiteral("Right"), value.Right);
  const bool bottom = store_->WriteInteger(QStringLiteral("Bottom"), value.Bottom);
  store_->CloseSection();
  return left && top && right && bottom;
}

bool TOrbanoPreferences::eventFilter(QObject* watched, QEvent* event) {
  if (watched != owner_ || forwarding_ || !watching_) return false;
  if (event->type() == QEvent::Show && !event->spontaneous()) {
    ownerShow(static_cast<QShowEvent*>(event));
    return true;
  }
  if (event->type() == QEvent::Close) {
    ownerCloseQuery(static_cast<QCloseEvent*>(event));
    return true;
  }
  return false;
}

// Runs the owner's own handling of the event (its showEvent or closeEvent, and the filters
// installed before this one).
void TOrbanoPreferences::forwardToOwner(QEvent* event) {
  forwarding_ = true;
  QCoreApplication::sendEvent(owner_, event);
  forwarding_ = false;
}

void TOrbanoPreferences::stopWatching() {
  if (owner_) owner_->removeEventFilter(this);
  watching_ = false;
}

void TOrbanoPreferences::ownerShow(QShowEvent* event) {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  mode_ = detectMode();
  applyMode();
  if (owner_) forwardToOwner(event);
  if (OnLoadPrefs) OnLoadPrefs(*this);
}

void TOrbanoPreferences::ownerCloseQuery(QCloseEvent* event) {
  forwardToOwner(event);
  const bool canClose = event->isAccepted();
  dialog_->setWindowTitle(QStringLiteral("Enregistrement des préférences de %1").arg(titre_));
  if (mode_ == spNone) {
    const auto choice = dialog_->Choose();
    if (!choice) {
      event->ignore();  // still watching: the next close request asks again
      if (OnCloseRefused) OnCloseRefused();
      return;
    }
    mode_ = *choice;
    applyMode();  // also when the choice is spNone again: both stores are deleted
  }
  if (mode_ != spNone) {
    store_->WriteString(QStringLiteral("Version"), version_);
    store_->WriteString(QStringLiteral("Dernière Sauvegarde"),
                        formatSaveDateTime(settingsNow(), settingsLocale()));
    store_->WriteString(QStringLiteral("ExeName"), platform::programFile());
    if (OnSavePrefs) OnSavePrefs(*this);
  }
  stopWatching();
  event->setAccepted(canClose);
}

}  // namespace vistrel::settings
