#include "actions/RaccourcisForm.h"

#include <QCloseEvent>
#include <QCollator>
#include <QHeaderView>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtDebug>
#include <algorithm>
#include <exception>

#include "actions/AppTexts.h"

namespace vistrel::actions {
namespace {

constexpr int kColumnWidths[4] = {238, 80, 60, 100};
const char16_t* const kColumnTitles[4] = {u"Fonctions", u"Touches", u"Switches", u"Script"};

QString sortKey(const TCustomSuperAction& action, int order) {
  QString lead;
  switch (order) {
    case 1: lead = ShortCutToText(action.ShortCut()); break;
    case 2: lead = action.Switch(); break;
    case 3: lead = action.Token(); break;
    default: break;
  }
  return lead + action.Caption() + action.Name();
}

}  // namespace

TRaccourcisForm::TRaccourcisForm(QWidget* parent) : QWidget(parent, Qt::Window) { FormCreate(); }

void TRaccourcisForm::FormCreate() {
  setWindowTitle(QStringLiteral("Les commandes de %1").arg(AppTitle()));
  resize(516, 446);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  leHeader = new QLabel(this);
  leHeader->setTextFormat(Qt::RichText);
  leHeader->setText(QString::fromUtf16(
      u"<br>Cliquez sur l'en-tête d'une colonne pour trier selon la colonne concernée. <br>Vous pouvez aussi "
      u"double-cliquer sur une ligne contenant une commande pour la lancer."));
  leHeader->setFixedHeight(57);
  leHeader->setAlignment(Qt::AlignCenter);
  leHeader->setWordWrap(true);
  QFont headerFont(QStringLiteral("Arial"));
  headerFont.setItalic(true);
  leHeader->setFont(headerFont);
  leHeader->setVisible(false);
  layout->addWidget(leHeader);

  StringGrid1 = new QTableWidget(0, 4, this);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGrid1->setCursor(Qt::PointingHandCursor);
  StringGrid1->viewport()->setCursor(Qt::PointingHandCursor);
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setDefaultSectionSize(18);
  StringGrid1->setSortingEnabled(false);
  StringGrid1->horizontalHeader()->setSectionsClickable(true);
  StringGrid1->horizontalHeader()->setHighlightSections(false);
  StringGrid1->setStyleSheet(
      QStringLiteral("QTableWidget { background-color: palette(button); }"
                     "QHeaderView::section { background-color: #F0FAFF; }"));
  for (int c = 0; c < 4; ++c) {
    StringGrid1->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(kColumnTitles[c])));
    StringGrid1->setColumnWidth(c, kColumnWidths[c]);
  }
  StringGrid1->viewport()->installEventFilter(this);
  StringGrid1->horizontalHeader()->viewport()->installEventFilter(this);
  layout->addWidget(StringGrid1);
}

void TRaccourcisForm::Fill(TActionList* list) {
  list_ = list;
  refill();
}

void TRaccourcisForm::setSortOrder(int order) {
  sortOrder_ = order;
  refill();
}

void TRaccourcisForm::refill() {
  const int order = sortOrder_ >= 0 && sortOrder_ <= 3 ? sortOrder_ : 0;
  struct Row {
    QString key;
    TCustomSuperAction* action;
  };
  QList<Row> rows;
  if (list_)
    for (TCustomAction* a : list_->actions()) {
      auto* super = qobject_cast<TCustomSuperAction*>(a);
      if (super && !super->Caption().isEmpty()) rows.append({sortKey(*super, order), super});
    }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const Row& a, const Row& b) { return collator.compare(a.key, b.key) < 0; });

  rows_.clear();
  StringGrid1->clearContents();
  StringGrid1->setRowCount(int(rows.size()));
  for (int r = 0; r < rows.size(); ++r) {
    TCustomSuperAction* action = rows[r].action;
    rows_.append(action);
    const QString texts[4] = {action->Caption(), ShortCutToText(action->ShortCut()), action->Switch(),
                              action->Token()};
    for (int c = 0; c < 4; ++c) StringGrid1->setItem(r, c, new QTableWidgetItem(texts[c]));
  }
}

int TRaccourcisForm::RowCount() const { return StringGrid1->rowCount() + 1; }

QString TRaccourcisForm::Cells(int column, int row) const {
  if (column < 0 || column >= 4) return {};
  if (row == 0) return QString::fromUtf16(kColumnTitles[column]);
  const QTableWidgetItem* item = StringGrid1->item(row - 1, column);
  return item ? item->text() : QString();
}

TCustomSuperAction* TRaccourcisForm::RowAction(int row) const {
  return row >= 1 && row <= rows_.size() ? rows_.at(row - 1).data() : nullptr;
}

void TRaccourcisForm::StringGrid1MouseDown(int column, int row) {
  clickedColumn_ = column;
  clickedRow_ = row;
}

void TRaccourcisForm::StringGrid1MouseUp() {
  if (clickedRow_ != 0 || clickedColumn_ < 0 || clickedColumn_ > 3) return;
  const bool changed = sortOrder_ != clickedColumn_;
  setSortOrder(clickedColumn_);
  if (changed && OnSortChanged) OnSortChanged(sortOrder_);
}

void TRaccourcisForm::StringGrid1DblClick() {
  TCustomSuperAction* action = RowAction(clickedRow_);
  if (!action) return;
  try {
    action->Execute();
  } catch (const std::exception& e) {
    qWarning("action %s failed: %s", qPrintable(action->objectName()), e.what());
  } catch (...) {
    qWarning("action %s failed", qPrintable(action->objectName()));
  }
}

bool TRaccourcisForm::eventFilter(QObject* watched, QEvent* event) {
  const bool header = watched == StringGrid1->horizontalHeader()->viewport();
  const bool cells = watched == StringGrid1->viewport();
  if (header || cells) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (header) {
          StringGrid1MouseDown(StringGrid1->horizontalHeader()->logicalIndexAt(at), 0);
        } else {
          const QModelIndex index = StringGrid1->indexAt(at);
          StringGrid1MouseDown(index.isValid() ? index.column() : -1, index.isValid() ? index.row() + 1 : -1);
        }
        break;
      }
      case QEvent::MouseButtonRelease: StringGrid1MouseUp(); break;
      case QEvent::MouseButtonDblClick:
        if (cells) {
          const QModelIndex index =
              StringGrid1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
          StringGrid1MouseDown(index.isValid() ? index.column() : -1, index.isValid() ? index.row() + 1 : -1);
          StringGrid1DblClick();
          return true;
        }
        break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TRaccourcisForm::taraccourcisprepare(QObject*) {
  if (toggle_) toggle_->SetChecked(isVisible());
}

void TRaccourcisForm::taraccourcisfalseExecute(QObject*) {
  if (toggle_) toggle_->SetChecked(true);
  if (x() < 0) move(0, y());
  show();
  raise();
  activateWindow();
}

void TRaccourcisForm::taraccourcisTrueExecute(QObject*) {
  hide();
  if (toggle_) toggle_->SetChecked(false);
}

void TRaccourcisForm::closeEvent(QCloseEvent* event) {
  // The window is only hidden; the toggle runs while the window is still visible, so that it
  // takes the hiding path and follows.
  if (toggle_ && isVisible()) {
    try {
      toggle_->Execute();
    } catch (...) {
      qWarning("taraccourcis failed");
    }
  }
  event->ignore();
  hide();
}

}  // namespace vistrel::actions
