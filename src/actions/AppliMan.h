#pragma once
// The application manager: a component on the main window that owns the program's title and
// version texts, a script engine, a help window and the script window, shows optional pages over
// a windowed control, opens the e-mail and home-page links and keeps the main window's bounds
// (and those of the two camcorder windows) in the preferences. Its commands are abstract actions
// of its own list, found by their internal ids; its command-line processor (TOBSwitch) answers to
// their switches. User-interface thread only.

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

#include "actions/AbstractActions.h"
#include "actions/OBActionList.h"

class QLabel;

namespace vistrel::actions {

class THelpForm;
class TOBScript;
class TOBSwitch;

class TOBAppliMan : public TOBActionComponent {
  Q_OBJECT
 public:
  // The three pages, in the order of their panels.
  enum Page { pgOptions = 0, pgCustom = 1, pgAbout = 2 };

  // With a windowed owner the manager creates its panels, help window, switch processor, script
  // engine and credit lists; the actions come with Created() (or a definition and Loaded()).
  explicit TOBAppliMan(QWidget* owner);
  ~TOBAppliMan() override;

  // The control the pages cover; the three page panels are placed in it, filling its client
  // area, hidden.
  QWidget* WinControl() const { return winControl_; }
  void setWinControl(QWidget* control);
  QStringList TitreUses, UrlUses;  // credits of an about page: titles and addresses
  QWidget* OptionsFrame() const { return frames_[pgOptions]; }
  void setOptionsFrame(QWidget* frame);
  QWidget* CustomFrame() const { return frames_[pgCustom]; }
  void setCustomFrame(QWidget* frame) { setFrame(pgCustom, frame); }
  QWidget* AboutFrame() const { return frames_[pgAbout]; }
  void setAboutFrame(QWidget* frame) { setFrame(pgAbout, frame); }
  // The script window: owned from here on (freed with the manager); none for now.
  QWidget* ScriptForm() const { return scriptForm_; }
  void setScriptForm(QWidget* form);
  bool OptionsCloseVisible() const { return optionsCloseVisible_; }
  void setOptionsCloseVisible(bool visible);

  // The endpoints of the links: the maker's contact address and the product's home page (a
  // trailing "©" is dropped before opening).
  QString ContactAddress = QStringLiteral("contact@orbano.fr");
  QString HomePageAddress = QStringLiteral("https://www.orbano.fr/vistrel");
  // Opens an address with the desktop's default program (replaced by tests).
  std::function<bool(const QString& address)> OpenAddress;
  // The texts the links open.
  QString EMailAddress() const;
  QString HomePage() const;

  // The windows whose bounds raCam1 and raCam2 keep (none: the stored rectangle is kept and
  // applying it does nothing).
  void setCamWindows(QWidget* cam1, QWidget* cam2);
  QWidget* CamWindow(int number) const { return number == 1 ? cam1_ : number == 2 ? cam2_ : nullptr; }

  // The manager's parts.
  QFrame* PagePanel(Page page) const { return panels_[page]; }
  THelpForm* HelpForm() const { return helpForm_; }
  TOBSwitch* Switch() const { return switch_; }
  TOBScript* Script() const { return script_; }
  QLabel* CloseLabel() const { return closeLabel_; }
  // The page shown, or -1.
  int ShownPage() const;

  // The links of the pages: "closeAbout" and "closeOptions" close their page; their hint.
  void LinkClick(const QString& link);
  static QString LinkHint(const QString& link);

  // Its actions, once created or found.
  TCheckAction* caScript = nullptr;
  TCheckAction* caHelp = nullptr;
  TCheckAction* caAbout = nullptr;
  TCheckAction* caOptions = nullptr;
  TCheckAction* caCustom = nullptr;
  TNopeAction* naQuit = nullptr;
  TNopeAction* naEMail = nullptr;
  TNopeAction* naHomePage = nullptr;
  TRectAction* raFormSave = nullptr;
  TRectAction* raCam1 = nullptr;
  TRectAction* raCam2 = nullptr;

  void CreateActions() override;
  void InitActions() override;
  void FindActions() override;
  void AssignInternalHandlers() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* mainWindow() const { return owner_; }
  void setFrame(Page page, QWidget* frame);
  void centreFrame(Page page);
  void fillWinControl();
  void showPage(Page page);
  void hidePage(Page page);
  void showScriptForm(bool visible);
  void showHelpForm(bool visible);
  void openLink(const QString& address);
  TRect camDefault() const;
  void wireCam(TRectAction* action, int number);

  QPointer<QWidget> owner_;
  QPointer<QWidget> winControl_;
  std::array<QFrame*, 3> panels_{};
  std::array<QPointer<QWidget>, 3> frames_{};
  QPointer<QWidget> scriptForm_;
  QPointer<QWidget> cam1_, cam2_;
  THelpForm* helpForm_ = nullptr;
  TOBSwitch* switch_ = nullptr;
  TOBScript* script_ = nullptr;
  QLabel* closeLabel_ = nullptr;
  bool optionsCloseVisible_ = false;
};

// A rectangle of the preferences (right and bottom exclusive) as widget bounds, and back.
QRect rectToBounds(const TRect& r);
TRect boundsToRect(const QRect& bounds);

}  // namespace vistrel::actions
