#include "settings/Parameters.h"

#include <QFileInfo>
#include <QtDebug>

#include "platform/Environment.h"
#include "platform/registry/Registry.h"
#include "settings/ParameterStore.h"
#include "settings/SettingsContext.h"

namespace vistrel::settings {

namespace reg = platform::registry;

namespace {

const QString kShellFolders =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

QString registryString(const QString& key, const QString& name) {
  const auto value = reg::queryValue(reg::Hive::CurrentUser, key, name);
  if (!value || (value->type != reg::REG_SZ && value->type != reg::REG_EXPAND_SZ)) return {};
  return reg::decodeString(value->data);
}

QString shellFolder(const QString& name) {
  return ChooseFolderDefault(registryString(kShellFolders, name),
                             registryString(kShellFolders, QStringLiteral("Personal")));
}

QString portableSaveFolder;

}  // namespace

TReadPreferences& TParameter::reader() const { return list_.Reader(); }
TWritePreferences& TParameter::writer() const { return list_.Writer(); }

// Every Load keeps the default when the read fails in any way.
void TIntegerParameter::Load() {
  try {
    Value = reader().ReadInteger(Key(), Default);
  } catch (...) {
    Value = Default;
  }
}
void TIntegerParameter::Save() { writer().WriteInteger(Key(), Value); }

void TRealParameter::Load() {
  try {
    Value = reader().ReadReal(Key(), Default);
  } catch (...) {
    Value = Default;
  }
}
void TRealParameter::Save() { writer().WriteReal(Key(), Value); }

void TWideStringParameter::Load() {
  try {
    Value = reader().ReadString(Key(), Default);
    if (Value.isEmpty()) Value = Default;
  } catch (...) {
    Value = Default;
  }
}
void TWideStringParameter::Save() { writer().WriteString(Key(), Value); }

void TBooleanParameter::Load() {
  try {
    Value = reader().ReadBoolean(Key(), Default != 0) ? 1 : 0;
  } catch (...) {
    Value = Default;
  }
}
void TBooleanParameter::Save() { writer().WriteBoolean(Key(), Value != 0); }

void TincrustRecParameter::Load() {
  try {
    Value = reader().ReadIncrustRec(Key(), Default);
  } catch (...) {
    Value = Default;
  }
}
void TincrustRecParameter::Save() { writer().WriteIncrustRec(Key(), Value); }

void TEnumParameter::Load() {
  try {
    Value = uint8_t(reader().ReadInteger(Key(), Default) & 0xFF);
  } catch (...) {
    Value = Default;
  }
}
void TEnumParameter::Save() { writer().WriteInteger(Key(), Value); }

// ---------------------------------------------------------------------------------------------

TparameterList::TparameterList(QString signature) : signature_(std::move(signature)) {}

TparameterList::~TparameterList() = default;

TReadPreferences& TparameterList::Reader() const {
  if (!reader_) throw std::logic_error("no load in progress");
  return *reader_;
}

TWritePreferences& TparameterList::Writer() const {
  if (!writer_) throw std::logic_error("no save in progress");
  return *writer_;
}

TParameter* TparameterList::Find(const QString& key) const {
  for (const auto& p : parameters_)
    if (p->Key() == key) return p.get();
  return nullptr;
}

void TparameterList::createParameters() {
  parameters_.clear();
  using S = QString;
  Add<TIntegerParameter>(S("Volume"), 5000);
  Add<TstandardDVParameter>(S("Standard DV"), uint8_t(0));
  Add<TIntegerParameter>(S("Profile wmv"), 1);
  Add<TFrequenceDVParameter>(S("FrequenceDV"), uint8_t(3));
  Add<TRatioDVParameter>(S("RatioDV"), uint8_t(0));
  Add<TAspectRatioParameter>(S("Ratio DivX"), uint8_t(0));
  Add<TIntegerParameter>(S("Correction Sync"), 0);
  Add<TRealParameter>(S("Framerate"), 18.0);
  Add<TincrustRecParameter>(S("IncrustRec"), defaultIncrustRec());
  Add<TIntegerParameter>(S("Durée Incruster"), 5);
  Add<TWhenIncrustParameter>(S("When Incrust"), uint8_t(0));
  Add<TWideStringParameter>(S("No Datecode"), S("N/A"));
  Add<TRealParameter>(S("Décalage horaire"), 0.0);
  Add<TBooleanParameter>(S("Décalage avancé"), uint8_t(0));
  Add<TIntegerParameter>(S("Extension des images"), 0);
  Add<TIntegerParameter>(S("Qualité jpeg"), 50);
  Add<TIntegerParameter>(S("Version wmv"), 2);
  Add<TIntegerParameter>(S("Valeur Intervallomètre"), 10);
  Add<TIntegerParameter>(S("Unités Intervallomètre"), 0);
  Add<TframeNumberParameter>(S("Panneau actif"), uint8_t(0));
  Add<TAspectRatioParameter>(S("Aspect ratio"), uint8_t(0));
  Add<TBooleanParameter>(S("WideScreen"), uint8_t(0));
  Add<TWideStringParameter>(S("Plugins Dir"), platform::withTrailingSlash(platform::programFolder()));
  Add<TWideStringParameter>(S("Video Directory"), DefaultVideoDirectory());
  Add<TWideStringParameter>(S("Video Racine"), S("Video"));
  Add<TWideStringParameter>(S("Image Directory"), DefaultImageDirectory());
  Add<TWideStringParameter>(S("Image Racine"), S("Image"));
  Add<TWideStringParameter>(S("Kronel"), DefaultKronel());
  Add<TWideStringParameter>(S("Source video"), S("N/A"));
  Add<TWideStringParameter>(S("Source Audio"), S("N/A"));
  Add<TFormatCaptureParameter>(S("Capture Format"), uint8_t(10));
  Add<TWideStringParameter>(S("Audio Type"), S());
  Add<TWideStringParameter>(S("Sound Card Entry"), S("Line In"));
  Add<TWideStringParameter>(S("Profil Windows media"), S("N/A"));
  Add<TWideStringParameter>(S("Profil wmv favori"), S());
  Add<TBooleanParameter>(S("Profil par défaut"), uint8_t(1));
  Add<TWideStringParameter>(S("Divx favori"), S());
  Add<TBooleanParameter>(S("Want Mp3"), uint8_t(1));
  Add<TBooleanParameter>(S("Frequence DV native"), uint8_t(1));
  Add<TBooleanParameter>(S("Garder Format DV"), uint8_t(0));
  Add<TBooleanParameter>(S("Demi Taille"), uint8_t(1));
  Add<TBooleanParameter>(S("Notifier"), uint8_t(1));
  Add<TBooleanParameter>(S("Internal Deinterlacer"), uint8_t(1));
  Add<TBooleanParameter>(S("EcranGauche"), uint8_t(1));
  Add<TBooleanParameter>(S("Preview Locked"), uint8_t(1));
  Add<TBooleanParameter>(S("Activer Superposition"), uint8_t(1));
  Add<TBooleanParameter>(S("Want Incrust"), uint8_t(0));
  Add<TBooleanParameter>(S("Want vert Flip"), uint8_t(0));
  Add<TBooleanParameter>(S("Want Horz flip"), uint8_t(0));
  Add<TBooleanParameter>(S("Want Widescreen"), uint8_t(0));
  Add<TWideStringParameter>(S("Want video source"), S());
  Add<TWideStringParameter>(S("Want audio source"), S());
  Add<TWideStringParameter>(S("Want Format capture"), S());
  Add<TRaccourcisSortParameter>(S("Raccourcis Sort"), uint8_t(0));
  Add<TBooleanParameter>(S("Fullscreen On"), uint8_t(0));
  Add<TBooleanParameter>(S("Reduced on"), uint8_t(0));
  Add<TBooleanParameter>(S("Mute On"), uint8_t(1));
  Add<TBooleanParameter>(S("Stopper camera DV 1 en quittant"), uint8_t(1));
  Add<TBooleanParameter>(S("Stopper camera DV 2 en quittant"), uint8_t(1));
  Add<TBooleanParameter>(S("Video Date"), uint8_t(1));
  Add<TBooleanParameter>(S("Image date"), uint8_t(0));
  Add<TBooleanParameter>(S("Show Video Pilot DV"), uint8_t(1));
  Add<TBooleanParameter>(S("Show Audio Pilot DV"), uint8_t(1));
  Add<TBooleanParameter>(S("Sauver préférences en quittant"), uint8_t(1));
  Add<TBooleanParameter>(S("Confirmer Image"), uint8_t(1));
  Add<TBooleanParameter>(S("Confirmer Video"), uint8_t(1));
  Add<TBooleanParameter>(S("Mpeg2 Ratio Normal"), uint8_t(1));
  Add<TBooleanParameter>(S("scn"), uint8_t(0));
  Add<TBooleanParameter>(S("DV demi si DivX"), uint8_t(1));
  Add<TBooleanParameter>(S("Beeps"), uint8_t(0));
  Add<TWideStringParameter>(S("Sources Exclues"), S());
  Add<TIntegerParameter>(S("Video Input Select"), -1);
  Add<TBooleanParameter>(S("Freeze Preview"), uint8_t(0));
  Add<TBooleanParameter>(S("Freeze Capture"), uint8_t(0));
}

void TparameterList::CreateSettings(std::optional<QString> oldFolder) {
  try {
    storePath_ = kStorePath;
    setCurrentStoreMode(DecideStoreMode());
    createParameters();
    LoadAll();
    if (currentStoreMode() == spPortable) {
      const QString prefix = oldFolder.value_or(PortableSaveFolder());
      const QString current = platform::programFolder();
      for (const char* key : {"Video Directory", "Image Directory", "Plugins Dir", "Kronel"}) {
        QString& value = String(QString::fromUtf8(key)).Value;
        value = RebaseFolder(value, prefix, current);
      }
    }
  } catch (...) {
  }
}

void TparameterList::LoadAll() {
  storePath_ = kStorePath;
  std::unique_ptr<TReadPreferences> reader;
  try {
    reader = std::make_unique<TReadPreferences>(storePath_, currentStoreMode());
  } catch (...) {
    return;  // an unreadable store leaves every default in place
  }
  reader_ = reader.get();
  for (const auto& p : parameters_) {
    try {
      p->Load();
    } catch (...) {
    }
  }
  reader_ = nullptr;
}

bool TparameterList::SaveAll() {
  try {
    storePath_ = kStorePath;
    TWritePreferences writer(storePath_, currentStoreMode());
    writer_ = &writer;
    struct Reset {
      TWritePreferences*& w;
      ~Reset() { w = nullptr; }
    } reset{writer_};
    writer.WriteString(QStringLiteral("Signature"), signature_);
    writer.WriteString(QStringLiteral("DerniereSauvegarde"),
                       formatSaveDateTime(settingsNow(), settingsLocale()));
    writer.WriteString(QStringLiteral("ExeName"), platform::programFile());
    for (const auto& p : parameters_) {
      try {
        p->Save();
      } catch (...) {
      }
    }
    return writer.Release();
  } catch (...) {
    writer_ = nullptr;
    return false;
  }
}

TSavePreferences DecideStoreMode() {
  if (QFileInfo::exists(parameterIniFile())) return spPortable;
  const QString exe = registryString(kStorePath, QStringLiteral("Exename"));
  if (!exe.isEmpty() && exe.toLower() == platform::programFile().toLower()) return spRegistre;
  return spNone;
}

QString RebaseFolder(const QString& value, const QString& oldPrefix, const QString& currentFolder) {
  if (oldPrefix.isEmpty() || value.isEmpty() || currentFolder.isEmpty()) return value;
  // Whole folder names only: "/a/b/" is no prefix of "/a/bc/".
  const QString prefix = platform::withTrailingSlash(oldPrefix);
  const QString folderPart = value.left(value.lastIndexOf(QLatin1Char('/')) + 1);
  if (!folderPart.startsWith(prefix, Qt::CaseInsensitive)) return value;
  return platform::withTrailingSlash(currentFolder) + value.mid(prefix.size());
}

QString PortableSaveFolder() { return portableSaveFolder; }
void SetPortableSaveFolder(const QString& folder) { portableSaveFolder = folder; }

QString ChooseFolderDefault(const QString& folder, const QString& personal) {
  // The root of the file system stands for the system drive of the original setting.
  const QString chosen = !folder.isEmpty() ? folder : !personal.isEmpty() ? personal : QStringLiteral("/");
  return platform::withTrailingSlash(chosen);
}

QString DefaultVideoDirectory() { return shellFolder(QStringLiteral("My Video")); }
QString DefaultImageDirectory() { return shellFolder(QStringLiteral("My Pictures")); }
QString DefaultKronel() {
  return registryString(QStringLiteral("\\Software\\Orbano\\Kronel"), QStringLiteral("Exename"));
}

}  // namespace vistrel::settings
