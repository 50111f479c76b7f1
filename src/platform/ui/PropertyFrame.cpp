#include "platform/ui/PropertyFrame.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vistrel::platform::ui {

using namespace media;

namespace {

PropertyFrameRunner& runner() {
  static PropertyFrameRunner r;
  return r;
}

bool applyAll(const std::vector<PropertyPage*>& pages) {
  for (PropertyPage* page : pages)
    if (FAILED(page->apply())) return false;
  return true;
}

}  // namespace

void SetPropertyFrameRunner(PropertyFrameRunner r) { runner() = std::move(r); }

HRESULT OleCreatePropertyFrame(QWidget* owner, int x, int y, const QString& caption,
                               const std::shared_ptr<Unknown>& object) {
  auto specify = interfaceOf<ISpecifyPropertyPages>(object);
  if (!specify) return E_NOINTERFACE;
  std::vector<GUID> ids;
  if (FAILED(specify->GetPages(ids)) || ids.empty()) return E_NOINTERFACE;

  QDialog frame(owner);
  frame.setWindowTitle(caption);
  if (owner) frame.move(owner->mapToGlobal(QPoint(x, y)));
  auto* layout = new QVBoxLayout(&frame);
  auto* tabs = new QTabWidget(&frame);
  layout->addWidget(tabs);
  std::vector<PropertyPage*> pages;
  for (const GUID& id : ids) {
    if (PropertyPage* page = specify->CreatePage(id, tabs)) {
      pages.push_back(page);
      tabs->addTab(page, page->title());
    }
  }
  if (pages.empty()) return E_NOINTERFACE;

  if (runner()) {
    if (runner()(pages)) applyAll(pages);
    return S_OK;
  }
  auto* buttons = new QDialogButtonBox(&frame);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
  QPushButton* apply = buttons->addButton(QStringLiteral("Appliquer"), QDialogButtonBox::ApplyRole);
  layout->addWidget(buttons);
  QObject::connect(ok, &QPushButton::clicked, &frame, [&] {
    if (applyAll(pages)) frame.accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, &frame, &QDialog::reject);
  QObject::connect(apply, &QPushButton::clicked, &frame, [&] { applyAll(pages); });
  frame.exec();
  return S_OK;
}

}  // namespace vistrel::platform::ui
