#pragma once
// Objects that have property pages: the list of page identifiers (an empty list: none), and the
// page widgets themselves, which a property frame lays out and applies. User-interface thread.

#include <QWidget>
#include <vector>

#include "platform/media/Guid.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// One page: the frame shows it and calls apply() when the user confirms.
class PropertyPage : public QWidget {
 public:
  using QWidget::QWidget;
  virtual QString title() const = 0;
  // Writes the page's values to its object; S_OK, or a failure code that keeps the frame open.
  virtual HRESULT apply() = 0;
};

class ISpecifyPropertyPages : public virtual Unknown {
 public:
  virtual HRESULT GetPages(std::vector<GUID>& pages) = 0;
  // A new page widget for one of the listed identifiers (owned by `parent`), null when unknown.
  virtual PropertyPage* CreatePage(const GUID& page, QWidget* parent) = 0;
};

}  // namespace vistrel::platform::media
