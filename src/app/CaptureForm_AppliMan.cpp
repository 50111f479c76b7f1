// The main window's application manager and its own list of abstract actions.
#include "actions/AbstractActions.h"
#include "actions/AppliMan.h"
#include "actions/KeyDispatch.h"
#include "actions/OBActionList.h"
#include "actions/OBSwitch.h"
#include "app/CaptureForm.h"
#include "engine/Tdm.h"

namespace vistrel::app {

void TCaptureForm::createAppliMan() {
  am_ = new actions::TOBAppliMan(this);
  am_->Created();
  am_->setWinControl(this);
  am_->Switch()->setMainWindow(this);

  obal_ = new actions::TOBActionList(this);
  obal_->setObjectName(QStringLiteral("obal"));
  iaNumMediatype_ = new actions::TIntegerAction(obal_);
  iaNumMediatype_->setObjectName(QStringLiteral("iaNumMediatype"));
  iaNumMediatype_->ScriptName = QStringLiteral("NumMediatype");
  iaNumMediatype_->setCategory(QStringLiteral("Orbano"));
  iaNumMediatype_->ApplyWhenLoad = true;
  iaNumMediatype_->IncludePrefs = true;
  iaNumMediatype_->DefaultValue = 0;
  // The media type chosen on the video source is the engine's; the action only carries it to and
  // from the preferences.
  iaNumMediatype_->BeforeSave = [this](int32_t& value) {
    value = dm().FormatIndex;
    return true;
  };
  iaNumMediatype_->OnAfterApply = [this](const int32_t& value) { dm().FormatIndex = value; };

  // Keys go to the main list first, then to these, in the order the lists were made.
  keys_->addList(am_);
  keys_->addList(obal_);
}

void TCaptureForm::setCamWindows(QWidget* cam1, QWidget* cam2) { am_->setCamWindows(cam1, cam2); }

}  // namespace vistrel::app
