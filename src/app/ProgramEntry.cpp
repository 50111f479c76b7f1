#include "app/ProgramEntry.h"

#include <QApplication>
#include <memory>

#include "actions/RaccourcisForm.h"
#include "app/ApplicationTexts.h"
#include "app/CaptureForm.h"
#include "app/MediaFrameworkVersion.h"
#include "app/Plaque.h"
#include "app/SignalCloser.h"
#include "engine/Tdm.h"
#include "filters/ProgramFilters.h"
#include "platform/media/FilterMapper.h"
#include "platform/ui/MessageBoxes.h"

namespace vistrel::app {

int runVistrel(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kProductName);
  QApplication::setApplicationDisplayName(kProductName);

  const MediaFrameworkVersion version = readMediaFrameworkVersion();
  if (version.major < 9) {
    using namespace platform::ui;
    if (showMessage(MessageKind::Warning, mediaFrameworkWarning(version), Buttons::YesNo) != Answer::Yes)
      return 0;
  }

  // The program's own filters join the platform's in the filter mapper.
  filters::RegisterProgramFilters(*platform::media::FilterMapper::instance());

  auto form = std::make_unique<TCaptureForm>();
  auto dm = std::make_unique<engine::Tdm>();
  form->setDm(dm.get());
  auto plaque = std::make_unique<Tplaque>(form.get());
  form->setPlaque(plaque.get());
  auto raccourcis = std::make_unique<actions::TRaccourcisForm>();
  form->setRaccourcis(raccourcis.get());
  SignalCloser closer(form.get());
  form->show();
  const int code = QApplication::exec();
  raccourcis.reset();
  plaque.reset();
  form.reset();
  dm.reset();
  return code;
}

}  // namespace vistrel::app
