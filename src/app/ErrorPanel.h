#pragma once
// The panel that covers the main window when the start-up could not do its work (no source could
// be enumerated): a short rich-text report and a "Quitter" button. For a fatal error the button
// ends the application; otherwise it hides the panel and gives the window back the size it had.
// User-interface thread.

#include <QFrame>
#include <QSize>
#include <QString>
#include <functional>

class QPushButton;
class QTextBrowser;

namespace vistrel::app {

class TErrorPanel : public QFrame {
  Q_OBJECT
 public:
  // The panel's own size: the window takes it while the panel is shown.
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 320;

  // A hidden child of `window`.
  explicit TErrorPanel(QWidget* window);

  // The report as rich text: the product name in bold navy, what happened, the error text in bold,
  // and a request to report the problem.
  static QString ReportHtml(const QString& errorText, bool fatal);

  // Fills the report, shrinks the window's client area to the panel and shows it above every
  // other control.
  void ShowError(const QString& errorText, bool fatal);
  bool Fatal() const { return fatal_; }
  QTextBrowser* Report() const { return report_; }
  QPushButton* QuitButton() const { return quit_; }

  // Ends the application (default: closes the window, then leaves the event loop).
  std::function<void()> OnTerminate;

 private:
  void QuitterClick();

  QTextBrowser* report_ = nullptr;
  QPushButton* quit_ = nullptr;
  QSize previousSize_;
  bool fatal_ = true;
};

}  // namespace vistrel::app
