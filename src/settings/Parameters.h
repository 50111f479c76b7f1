#pragma once
// Every persistent setting of the program: one typed parameter per key with its default and its
// current value, all owned by one TparameterList in creation order (also the load and save
// order). Panels, the engine and the filters' owners read and write the current values directly.
// Main thread only.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "settings/IncrustRec.h"
#include "settings/SavePreferences.h"

namespace vistrel::settings {

class TparameterList;
class TReadPreferences;
class TWritePreferences;

class TParameter {
 public:
  TParameter(TparameterList& list, QString key) : list_(list), key_(std::move(key)) {}
  virtual ~TParameter() = default;
  TParameter(const TParameter&) = delete;
  TParameter& operator=(const TParameter&) = delete;

  // Reads the current value through the list's reader; any failure leaves the default.
  virtual void Load() = 0;
  // Writes the current value through the list's writer.
  virtual void Save() = 0;

  const QString& Key() const { return key_; }
  TparameterList& List() const { return list_; }

 protected:
  TReadPreferences& reader() const;
  TWritePreferences& writer() const;

 private:
  TparameterList& list_;
  QString key_;
};

template <class T>
class TValueParameter : public TParameter {
 public:
  using ValueType = T;
  TValueParameter(TparameterList& list, QString key, T defaultValue)
      : TParameter(list, std::move(key)), Value(defaultValue), Default(std::move(defaultValue)) {}
  T Value;
  T Default;
};

class TIntegerParameter : public TValueParameter<int32_t> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

class TRealParameter : public TValueParameter<double> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

// A string that loads as empty takes its default instead.
class TWideStringParameter : public TValueParameter<QString> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

// 0 false, 1 true.
class TBooleanParameter : public TValueParameter<uint8_t> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

class TincrustRecParameter : public TValueParameter<TincrustRec> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

// A one-byte code stored as an integer; a load keeps the low 8 bits.
class TEnumParameter : public TValueParameter<uint8_t> {
 public:
  using TValueParameter::TValueParameter;
  void Load() override;
  void Save() override;
};

// Active panel: 0 Sources, 1 Dossiers, 2 Programmer, 3 Extraire, 4 Incruster, 5 Options, 6 Liste,
// 7 Aide, 8 A propos.
class TframeNumberParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// 0 normal, 1 4x3, 2 16x9, 3 native.
class TAspectRatioParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// 0 permanently, 1 once, 2 at each new scene, 3 at each new day.
class TWhenIncrustParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// A capture format code (CaptureFormats.h).
class TFormatCaptureParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// 0 PAL, 1 NTSC.
class TstandardDVParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// 0 native, 1 32000, 2 44100, 3 48000.
class TFrequenceDVParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// 0 4x3, 1 16x9.
class TRatioDVParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};
// Sort order of the shortcuts window.
class TRaccourcisSortParameter : public TEnumParameter {
 public:
  using TEnumParameter::TEnumParameter;
};

class TparameterList {
 public:
  // `signature`: the product name, version and maker line written as "Signature".
  explicit TparameterList(QString signature);
  ~TparameterList();
  TparameterList(const TparameterList&) = delete;
  TparameterList& operator=(const TparameterList&) = delete;

  // Creates a parameter at the end of the list.
  template <class P, class... Args>
  P& Add(const QString& key, Args&&... defaultValue) {
    auto p = std::make_unique<P>(*this, key, std::forward<Args>(defaultValue)...);
    P& ref = *p;
    parameters_.push_back(std::move(p));
    return ref;
  }

  // Sets the store path, decides the current store mode, creates every parameter of the key
  // table with its default (replacing any parameters already there), loads them all and, in ini
  // mode, rebases the four folder settings from `oldFolder` onto the program's folder. With no
  // `oldFolder` the folder from which a portable copy last saved (as the preferences component
  // read it) is taken. Any failure ends the sequence silently.
  void CreateSettings(std::optional<QString> oldFolder = std::nullopt);
  // Loads every parameter from the store of the current store mode; an unreadable store leaves
  // the defaults.
  void LoadAll();
  // Writes "Signature", "DerniereSauvegarde", "ExeName" and every parameter, then commits.
  // Never throws; false when the store could not be written.
  bool SaveAll();

  const QString& Signature() const { return signature_; }
  const QString& StorePath() const { return storePath_; }
  size_t Count() const { return parameters_.size(); }
  TParameter& At(size_t index) const { return *parameters_.at(index); }
  // nullptr for a key that is not in the list.
  TParameter* Find(const QString& key) const;
  // The parameter of `key` as the given class; throws std::out_of_range for an unknown key or
  // another class.
  template <class P>
  P& Get(const QString& key) const {
    auto* p = dynamic_cast<P*>(Find(key));
    if (!p) throw std::out_of_range("no parameter " + key.toStdString() + " of that type");
    return *p;
  }
  TIntegerParameter& Integer(const QString& key) const { return Get<TIntegerParameter>(key); }
  TRealParameter& Real(const QString& key) const { return Get<TRealParameter>(key); }
  TWideStringParameter& String(const QString& key) const { return Get<TWideStringParameter>(key); }
  TBooleanParameter& Boolean(const QString& key) const { return Get<TBooleanParameter>(key); }
  TEnumParameter& Enum(const QString& key) const { return Get<TEnumParameter>(key); }
  TincrustRecParameter& IncrustRec(const QString& key) const { return Get<TincrustRecParameter>(key); }

  // Valid only while a load or a save runs.
  TReadPreferences& Reader() const;
  TWritePreferences& Writer() const;

 private:
  void createParameters();

  QString signature_;
  QString storePath_;
  std::vector<std::unique_ptr<TParameter>> parameters_;
  TReadPreferences* reader_ = nullptr;
  TWritePreferences* writer_ = nullptr;
};

// The store mode at the creation of the settings: spPortable when the ini file exists,
// spRegistre when the settings key's "Exename" names the running program (without regard to
// case), otherwise spNone.
TSavePreferences DecideStoreMode();

// Replaces `oldPrefix` by `currentFolder` at the start of `value` when the folder part of
// `value` begins with it (without regard to case). An empty prefix, value or current folder
// leaves the value as it is.
QString RebaseFolder(const QString& value, const QString& oldPrefix, const QString& currentFolder);

// The folder (with "/") of the "ExeName" that the preferences component found in the ini file
// when it last applied the portable mode; empty when none.
QString PortableSaveFolder();
void SetPortableSaveFolder(const QString& folder);

// The folder defaults: the user's shell folder "My Video" (else "Personal", else "/"), "My
// Pictures" likewise, and the companion program's "Exename".
QString DefaultVideoDirectory();
// The shell folder when set, else the "Personal" folder, else "/"; with a trailing "/".
QString ChooseFolderDefault(const QString& folder, const QString& personal);
QString DefaultImageDirectory();
QString DefaultKronel();

}  // namespace vistrel::settings
