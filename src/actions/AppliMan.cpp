#include "actions/AppliMan.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "actions/AppTexts.h"
#include "actions/HelpForm.h"
#include "actions/OBScript.h"
#include "actions/OBSwitch.h"
#include "platform/shell/Desktop.h"

namespace vistrel::actions {
namespace {

constexpr int kCamWidth = 568;
constexpr int kCamHeight = 132;

const QString kCloseAbout = QStringLiteral("closeAbout");
const QString kCloseOptions = QStringLiteral("closeOptions");

// A rectangle that cannot be the bounds of a window (from a damaged store or a command line).
bool unusable(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

}  // namespace

QRect rectToBounds(const TRect& r) { return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); }

TRect boundsToRect(const QRect& b) { return TRect{b.x(), b.y(), b.x() + b.width(), b.y() + b.height()}; }

TOBAppliMan::TOBAppliMan(QWidget* owner) : TOBActionComponent(owner), owner_(owner) {
  setObjectName(QStringLiteral("am"));
  OpenAddress = [](const QString& address) { return platform::shell::openWithDefaultApplication(address); };
  if (!owner) return;
  // The texts come from AppTexts.h; the title is what the links and captions quote.
  for (int p = 0; p < 3; ++p) {
    auto* panel = new QFrame(owner);
    panel->setObjectName(p == pgOptions  ? QStringLiteral("OptionsPanel")
                         : p == pgCustom ? QStringLiteral("CustomPanel")
                                         : QStringLiteral("AboutPanel"));
    QPalette palette = panel->palette();
    // Silver for the options and custom pages, the application-workspace grey for the about page.
    palette.setColor(QPalette::Window, p == pgAbout ? QColor(0xAB, 0xAB, 0xAB) : QColor(0xC0, 0xC0, 0xC0));
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    panel->installEventFilter(this);
    panel->hide();
    panels_[p] = panel;
  }
  helpForm_ = new THelpForm(owner);
  helpForm_->OnClose = [this] {
    if (caHelp && caHelp->Checked()) caHelp->SetChecked(false);
  };
  switch_ = new TOBSwitch(owner, this);
  script_ = new TOBScript(this);
}

TOBAppliMan::~TOBAppliMan() {
  if (switch_) switch_->UnregisterActions(*this);
  delete scriptForm_.data();
}

void TOBAppliMan::setWinControl(QWidget* control) {
  if (winControl_ == control) return;
  if (winControl_) winControl_->removeEventFilter(this);
  winControl_ = control;
  if (!control) return;
  control->installEventFilter(this);
  for (QFrame* panel : panels_)
    if (panel) {
      panel->setParent(control);
      panel->hide();
    }
  fillWinControl();
}

void TOBAppliMan::fillWinControl() {
  if (!winControl_) return;
  for (QFrame* panel : panels_)
    if (panel) panel->setGeometry(winControl_->rect());
}

void TOBAppliMan::setFrame(Page page, QWidget* frame) {
  QWidget* old = frames_[page];
  if (old == frame) return;
  if (old && old->parentWidget() == panels_[page]) old->hide();
  frames_[page] = frame;
  if (frame && panels_[page]) {
    frame->setParent(panels_[page]);
    frame->setVisible(panels_[page]->isVisible());
    centreFrame(page);
  }
}

void TOBAppliMan::setOptionsFrame(QWidget* frame) {
  setFrame(pgOptions, frame);
  if (!frame) return;
  if (!closeLabel_) {
    closeLabel_ = new QLabel();
    closeLabel_->setObjectName(QStringLiteral("CloseLink"));
    closeLabel_->setTextFormat(Qt::RichText);
    closeLabel_->setWordWrap(true);
    closeLabel_->setFrameShape(QFrame::NoFrame);
    QFont font = closeLabel_->font();
    font.setBold(true);
    font.setItalic(true);
    font.setPointSize(8);
    closeLabel_->setFont(font);
    QPalette palette = closeLabel_->palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
    closeLabel_->setPalette(palette);
    closeLabel_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    closeLabel_->setText(QStringLiteral("Tapez %1 pour quitter cette page ou <a href=\"%2\">cliquez ici</a>.")
                             .arg(QStringLiteral("F10"), kCloseOptions));
    connect(closeLabel_, &QLabel::linkActivated, this, [this](const QString& link) { LinkClick(link); });
    connect(closeLabel_, &QLabel::linkHovered, this,
            [this](const QString& link) { closeLabel_->setToolTip(LinkHint(link)); });
  }
  closeLabel_->setParent(frame);
  closeLabel_->setGeometry(frame->width() - 16 - 180, frame->height() - 16 - 40, 180, 40);
  closeLabel_->setVisible(optionsCloseVisible_);
}

void TOBAppliMan::setOptionsCloseVisible(bool visible) {
  optionsCloseVisible_ = visible;
  if (closeLabel_) closeLabel_->setVisible(visible);
}

void TOBAppliMan::setScriptForm(QWidget* form) {
  if (scriptForm_ == form) return;
  if (scriptForm_) scriptForm_->removeEventFilter(this);
  scriptForm_ = form;
  if (form) form->installEventFilter(this);
}

void TOBAppliMan::setCamWindows(QWidget* cam1, QWidget* cam2) {
  cam1_ = cam1;
  cam2_ = cam2;
}

void TOBAppliMan::centreFrame(Page page) {
  QWidget* frame = frames_[page];
  QFrame* panel = panels_[page];
  if (!frame || !panel) return;
  frame->move((panel->width() - frame->width()) / 2, (panel->height() - frame->height()) / 2);
}

int TOBAppliMan::ShownPage() const {
  for (int p = 0; p < 3; ++p)
    if (panels_[p] && !panels_[p]->isHidden()) return p;
  return -1;
}

void TOBAppliMan::showPage(Page page) {
  QWidget* frame = frames_[page];
  QFrame* panel = panels_[page];
  if (!frame || !panel) return;  // a page without its frame shows nothing
  fillWinControl();
  frame->show();
  panel->show();
  panel->raise();
  centreFrame(page);
}

void TOBAppliMan::hidePage(Page page) {
  if (frames_[page]) frames_[page]->hide();
  if (panels_[page]) panels_[page]->hide();
}

void TOBAppliMan::showScriptForm(bool visible) {
  if (!scriptForm_) return;
  if (!visible) {
    scriptForm_->hide();
    return;
  }
  scriptForm_->show();
  scriptForm_->raise();
  scriptForm_->activateWindow();
}

void TOBAppliMan::showHelpForm(bool visible) {
  if (!helpForm_) return;
  if (visible)
    helpForm_->ShowForm();
  else
    helpForm_->hide();
}

QString TOBAppliMan::EMailAddress() const {
  return QStringLiteral("mailto:") + ContactAddress + QStringLiteral("?subject=") +
         QStringLiteral("A propos de ") + AppTitle() + QStringLiteral("&body=");
}

QString TOBAppliMan::HomePage() const {
  QString address = HomePageAddress;
  if (address.endsWith(QChar(0x00A9))) address.chop(1);
  return address;
}

void TOBAppliMan::openLink(const QString& address) {
  if (OpenAddress) OpenAddress(address);
}

void TOBAppliMan::LinkClick(const QString& link) {
  if (link == kCloseAbout && caAbout)
    caAbout->SetChecked(false);
  else if (link == kCloseOptions && caOptions)
    caOptions->SetChecked(false);
}

QString TOBAppliMan::LinkHint(const QString& link) {
  if (link == kCloseAbout || link == kCloseOptions)
    return QStringLiteral("Cliquez pour fermer cette page\r\net retourner à l'application");
  return {};
}

TRect TOBAppliMan::camDefault() const {
  QWidget* w = mainWindow();
  if (!w) return TRect{0, 0, kCamWidth, kCamHeight};
  const QRect b = w->geometry();
  const int top = b.y() + b.height();
  return TRect{b.x(), top, b.x() + kCamWidth, top + kCamHeight};
}

void TOBAppliMan::CreateActions() {
  caScript = new TCheckAction(this, QStringLiteral("caScript"));
  caHelp = new TCheckAction(this, QStringLiteral("caHelp"));
  caAbout = new TCheckAction(this, QStringLiteral("caAbout"));
  caOptions = new TCheckAction(this, QStringLiteral("caOptions"));
  caCustom = new TCheckAction(this, QStringLiteral("caCustom"));
  naQuit = new TNopeAction(this, QStringLiteral("naQuit"));
  naEMail = new TNopeAction(this, QStringLiteral("naEMail"));
  naHomePage = new TNopeAction(this, QStringLiteral("naHomePage"));
  raFormSave = new TRectAction(this, QStringLiteral("raFormSave"));
  raCam1 = new TRectAction(this, QStringLiteral("raCam1"));
  raCam2 = new TRectAction(this, QStringLiteral("raCam2"));
}

void TOBAppliMan::InitActions() {
  struct Check {
    TCheckAction* action;
    const char* name;
    const char* scriptName;
    QKeyCombination key;
    QString caption;
  };
  const Check checks[] = {
      {caScript, "caScript", "Script", QKeyCombination(Qt::Key_F12), QStringLiteral("Script")},
      {caHelp, "caHelp", "Help", QKeyCombination(Qt::Key_F1), QStringLiteral("Aide")},
      {caAbout, "caAbout", "About", QKeyCombination(Qt::Key_F11), QStringLiteral("A propos")},
      {caOptions, "caOptions", "Options", QKeyCombination(Qt::Key_F10), QStringLiteral("Options")},
      {caCustom, "caCustom", "Custom", QKeyCombination(Qt::AltModifier, Qt::Key_F10),
       QStringLiteral("Frame Personnalisée")},
  };
  for (const Check& c : checks) {
    if (!c.action) continue;
    c.action->setObjectName(QString::fromLatin1(c.name));
    c.action->ScriptName = QString::fromLatin1(c.scriptName);
    c.action->setShortCut(c.key);
    c.action->setTrueCaption(c.caption);
    c.action->setFalseCaption(c.caption);
    c.action->setTrueImageIndex(-1);
    c.action->setFalseImageIndex(-1);
    c.action->ApplyWhenLoad = false;
    c.action->IncludePrefs = true;
    c.action->setDefaultValue(false);
  }
  struct Nope {
    TNopeAction* action;
    const char* name;
    const char* scriptName;
    QKeyCombination key;
    QString caption;
  };
  const Nope nopes[] = {
      {naQuit, "naQuit", "Quit", QKeyCombination(Qt::AltModifier, Qt::Key_F4), QStringLiteral("Quitter")},
      {naEMail, "naEMail", "EMail", QKeyCombination(Qt::AltModifier, Qt::Key_F5), QStringLiteral("E-mail")},
      {naHomePage, "naHomePage", "HomePage", QKeyCombination(Qt::AltModifier, Qt::Key_F6),
       QStringLiteral("Homepage")},
  };
  for (const Nope& n : nopes) {
    if (!n.action) continue;
    n.action->setObjectName(QString::fromLatin1(n.name));
    n.action->ScriptName = QString::fromLatin1(n.scriptName);
    n.action->setShortCut(n.key);
    n.action->setCaption(n.caption);
    n.action->ApplyWhenLoad = false;
    n.action->IncludePrefs = true;
  }
  struct Rect {
    TRectAction* action;
    const char* name;
    const char* scriptName;
    QString caption;
    bool applyWhenLoad;
    const char* category;
  };
  const Rect rects[] = {
      {raFormSave, "raFormSave", "FormSave", QString(), true, nullptr},
      {raCam1, "raCam1", "raCam1", QStringLiteral("Cam1"), false, "Orbano"},
      {raCam2, "raCam2", "Cam2", QStringLiteral("Cam2"), false, "Orbano"},
  };
  for (const Rect& r : rects) {
    if (!r.action) continue;
    r.action->setObjectName(QString::fromLatin1(r.name));
    r.action->ScriptName = QString::fromLatin1(r.scriptName);
    r.action->setCaption(r.caption);
    r.action->ApplyWhenLoad = r.applyWhenLoad;
    r.action->IncludePrefs = true;
    if (r.category) r.action->setCategory(QString::fromLatin1(r.category));
  }
}

void TOBAppliMan::FindActions() {
  caScript = FindByInternalId<TCheckAction>(QStringLiteral("caScript"));
  caHelp = FindByInternalId<TCheckAction>(QStringLiteral("caHelp"));
  caAbout = FindByInternalId<TCheckAction>(QStringLiteral("caAbout"));
  caOptions = FindByInternalId<TCheckAction>(QStringLiteral("caOptions"));
  caCustom = FindByInternalId<TCheckAction>(QStringLiteral("caCustom"));
  naQuit = FindByInternalId<TNopeAction>(QStringLiteral("naQuit"));
  naEMail = FindByInternalId<TNopeAction>(QStringLiteral("naEMail"));
  naHomePage = FindByInternalId<TNopeAction>(QStringLiteral("naHomePage"));
  raFormSave = FindByInternalId<TRectAction>(QStringLiteral("raFormSave"));
  raCam1 = FindByInternalId<TRectAction>(QStringLiteral("raCam1"));
  raCam2 = FindByInternalId<TRectAction>(QStringLiteral("raCam2"));
}

void TOBAppliMan::wireCam(TRectAction* action, int number) {
  if (!action) return;
  action->InternalDefault = [this](TRect& r) {
    r = camDefault();
    return true;
  };
  action->InternalBeforeSave = [this, number](TRect& r) {
    if (QWidget* w = CamWindow(number)) r = boundsToRect(w->geometry());
    return true;
  };
  action->InternalApply = [this, number](const TRect& r) {
    QWidget* w = CamWindow(number);
    if (w && !unusable(r)) w->setGeometry(rectToBounds(r));
  };
}

void TOBAppliMan::AssignInternalHandlers() {
  if (caScript) {
    caScript->InternalTrueApply = [this] { showScriptForm(true); };
    caScript->InternalFalseApply = [this] { showScriptForm(false); };
  }
  if (caHelp) {
    caHelp->InternalTrueApply = [this] { showHelpForm(true); };
    caHelp->InternalFalseApply = [this] { showHelpForm(false); };
  }
  if (caOptions) {
    caOptions->InternalTrueApply = [this] {
      if (caAbout && caAbout->Checked()) caAbout->SetChecked(false);
      if (caCustom && caCustom->Checked()) caCustom->SetChecked(false);
      showPage(pgOptions);
    };
    caOptions->InternalFalseApply = [this] { hidePage(pgOptions); };
  }
  if (caAbout) {
    caAbout->InternalTrueApply = [this] {
      if (caOptions && caOptions->Checked()) caOptions->SetChecked(false);
      if (caCustom && caCustom->Checked()) caCustom->SetChecked(false);
      showPage(pgAbout);
    };
    caAbout->InternalFalseApply = [this] { hidePage(pgAbout); };
  }
  if (caCustom) {
    caCustom->InternalTrueApply = [this] {
      showPage(pgCustom);
      if (caAbout && caAbout->Checked()) caAbout->SetChecked(false);
      if (caOptions && caOptions->Checked()) caOptions->SetChecked(false);
    };
    caCustom->InternalFalseApply = [this] { hidePage(pgCustom); };
  }
  if (naQuit)
    naQuit->InternalApply = [this] {
      if (QWidget* w = mainWindow()) w->close();
    };
  if (naEMail) naEMail->InternalApply = [this] { openLink(EMailAddress()); };
  if (naHomePage) naHomePage->InternalApply = [this] { openLink(HomePage()); };
  if (raFormSave) {
    raFormSave->InternalDefault = [this](TRect& r) {
      QWidget* w = mainWindow();
      if (!w) return true;
      QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
      const QSize area = screen ? screen->geometry().size() : QSize();
      const int left = (area.width() - w->width()) / 2;
      const int top = (area.height() - w->height()) / 2;
      r = TRect{left, top, left + w->width(), top + w->height()};
      return true;
    };
    raFormSave->InternalBeforeSave = [this](TRect& r) {
      if (QWidget* w = mainWindow()) r = boundsToRect(w->geometry());
      return true;
    };
    raFormSave->InternalApply = [this](const TRect& r) {
      QWidget* w = mainWindow();
      if (w && !unusable(r)) w->setGeometry(rectToBounds(r));
    };
  }
  wireCam(raCam1, 1);
  wireCam(raCam2, 2);
  if (switch_) {
    switch_->UnregisterActions(*this);  // found again after a reload: registered once
    switch_->RegisterActions(*this);
  }
}

bool TOBAppliMan::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (watched == winControl_) fillWinControl();
    for (int p = 0; p < 3; ++p)
      if (watched == panels_[p]) centreFrame(static_cast<Page>(p));
  } else if (event->type() == QEvent::Close && watched == scriptForm_) {
    if (caScript && caScript->Checked()) caScript->SetChecked(false);
  }
  return TOBActionComponent::eventFilter(watched, event);
}

}  // namespace vistrel::actions
