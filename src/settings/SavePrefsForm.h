#pragma once
// The dialog that asks at the first exit where the preferences are to be kept.

#include <QDialog>
#include <optional>

#include "settings/SavePreferences.h"

class QPushButton;
class QTextEdit;

namespace vistrel::settings {

class TSavePrefsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSavePrefsForm(QWidget* parent = nullptr);

  // Shows the dialog modally; the chosen mode, or nullopt when it was closed without a choice.
  // When answers are scripted (VISTREL_ANSWERS), the next word "normal", "portable", "aucun" or
  // "fermer" answers without showing anything, so that runs without a user can end.
  std::optional<TSavePreferences> Choose();

  TSavePreferences ChosenMode() const { return chosen_; }
  bool ChoiceMade() const { return choiceMade_; }

  QTextEdit* LinkEdit1 = nullptr;
  QPushButton* NormalBtn = nullptr;
  QPushButton* PortableBtn = nullptr;
  QPushButton* AucunBtn = nullptr;

 public slots:
  void FormCreate();
  void NormalBtnClick();
  void PortableBtnClick();
  void AucunBtnClick();

 private:
  void choose(TSavePreferences mode);

  TSavePreferences chosen_ = spNone;
  bool choiceMade_ = false;
};

}  // namespace vistrel::settings
