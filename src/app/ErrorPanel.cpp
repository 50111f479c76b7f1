#include "app/ErrorPanel.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTextBrowser>

#include "app/ApplicationTexts.h"

namespace vistrel::app {
namespace {

// Plain text made safe for the report, its line breaks kept.
QString htmlLines(const QString& text) {
  QString escaped = text.toHtmlEscaped();
  escaped.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
  escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
  escaped.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
  return escaped;
}

}  // namespace

TErrorPanel::TErrorPanel(QWidget* window) : QFrame(window) {
  setObjectName(QStringLiteral("ErrorPanel"));
  setFrameShape(QFrame::Panel);
  setAutoFillBackground(true);
  resize(kWidth, kHeight);
  report_ = new QTextBrowser(this);
  report_->setObjectName(QStringLiteral("ErrorText"));
  report_->setReadOnly(true);
  report_->setOpenLinks(false);
  report_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report_->setGeometry(8, 8, kWidth - 16, kHeight - 56);
  quit_ = new QPushButton(QStringLiteral("Quitter"), this);
  quit_->setObjectName(QStringLiteral("ErrorQuitter"));
  quit_->setGeometry((kWidth - 100) / 2, kHeight - 40, 100, 28);
  connect(quit_, &QPushButton::clicked, this, [this] { QuitterClick(); });
  // The window is closed first so that its close handling (settings, graph) runs as for any exit.
  OnTerminate = [this] {
    if (QWidget* w = this->window(); w && w != this) w->close();
    QCoreApplication::quit();
  };
  hide();
}

QString TErrorPanel::ReportHtml(const QString& errorText, bool fatal) {
  const QString what = fatal ? QStringLiteral(" a rencontré une erreur fatale")
                             : QStringLiteral(" a diagnostiqué des problèmes potentiels");
  return QStringLiteral("<b><font color=\"#000080\">") + kProductName.toHtmlEscaped() +
         QStringLiteral("</font></b>") + what.toHtmlEscaped() +
         QStringLiteral(" sur votre système:").toHtmlEscaped() + QStringLiteral("<br><br><b>") +
         htmlLines(errorText) + QStringLiteral("</b><br><br><p>") +
         QStringLiteral(
             "Merci de signaler ce problème à %1 en décrivant votre système et vos "
             "périphériques de capture, avec le texte ci-dessus.")
             .arg(kMakerName)
             .toHtmlEscaped() +
         QStringLiteral("</p>");
}

void TErrorPanel::ShowError(const QString& errorText, bool fatal) {
  fatal_ = fatal;
  report_->setHtml(ReportHtml(errorText, fatal));
  if (QWidget* window = parentWidget()) {
    if (isHidden()) previousSize_ = window->size();
    window->resize(kWidth, kHeight);
  }
  move(0, 0);
  resize(kWidth, kHeight);
  show();
  raise();
}

void TErrorPanel::QuitterClick() {
  if (fatal_) {
    if (OnTerminate) OnTerminate();
    return;
  }
  hide();
  if (QWidget* window = parentWidget(); window && previousSize_.isValid()) window->resize(previousSize_);
}

}  // namespace vistrel::app
