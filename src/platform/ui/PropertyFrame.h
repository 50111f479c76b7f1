#pragma once
// The property frame: a modal dialog with one tab per property page of an object, and "OK",
// "Annuler" and "Appliquer" buttons. "OK" and "Appliquer" apply every page; a page that refuses
// its values keeps the frame open. User-interface thread.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/media/ISpecifyPropertyPages.h"

class QWidget;

namespace vistrel::platform::ui {

// Shows the pages of `object` (ISpecifyPropertyPages) at (x, y) in the owner's coordinates.
// E_NOINTERFACE when the object has no pages, S_OK once the frame closed.
media::HRESULT OleCreatePropertyFrame(QWidget* owner, int x, int y, const QString& caption,
                                      const std::shared_ptr<media::Unknown>& object);

// Replaces the modal loop (tests, scripted runs): called with the pages of the frame, returns
// true to apply them all as "OK" does, false to cancel. An empty runner restores the dialog.
using PropertyFrameRunner = std::function<bool(const std::vector<media::PropertyPage*>& pages)>;
void SetPropertyFrameRunner(PropertyFrameRunner runner);

}  // namespace vistrel::platform::ui
