#include "actions/HelpForm.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTableWidget>

namespace vistrel::actions {

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QStringLiteral("Aide pour Raccourcis, Script et Macros"));
  resize(640, 420);
  grid_ = new QTableWidget(0, 3, this);
  grid_->setObjectName(QStringLiteral("HelpGrid"));
  grid_->setHorizontalHeaderLabels(
      {QStringLiteral("Commande"), QStringLiteral("Script"), QStringLiteral("Ligne de commande")});
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->verticalHeader()->hide();
}

void THelpForm::AddEntry(const QString& command, const QString& scriptSyntax, const QString& switchSyntax) {
  const int row = grid_->rowCount();
  grid_->insertRow(row);
  grid_->setItem(row, 0, new QTableWidgetItem(command));
  grid_->setItem(row, 1, new QTableWidgetItem(scriptSyntax));
  grid_->setItem(row, 2, new QTableWidgetItem(switchSyntax));
}

void THelpForm::ShowForm() {
  show();
  grid_->setGeometry(rect());
  raise();
  activateWindow();
}

void THelpForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (OnClose) OnClose();
}

void THelpForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  grid_->setGeometry(rect());
}

}  // namespace vistrel::actions
