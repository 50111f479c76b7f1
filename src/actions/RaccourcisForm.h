#pragma once
// The shortcuts window: the main window's commands with their keys, switches and tokens, sorted
// by the column whose header the user clicks, and run by a double click on their row. The main
// window's toggle `taraccourcis` shows and hides it through the three handlers below.
//
// Rows are the super actions of the list that have a caption, in ascending order of a sort key,
// compared ignoring case by the locale's collation: column 0 caption + name, 1 key text + caption
// + name, 2 switch + caption + name, 3 token + caption + name. The grid shows the captions of the
// moment it was last filled. User-interface thread only.

#include <QLabel>
#include <QPointer>
#include <QTableWidget>
#include <QWidget>
#include <functional>

#include "actions/SuperAction.h"

namespace vistrel::actions {

class TRaccourcisForm : public QWidget {
  Q_OBJECT
 public:
  explicit TRaccourcisForm(QWidget* parent = nullptr);

  // Rebuilds the grid from the list, which is remembered for later sorts.
  void Fill(TActionList* list);

  // The sort column, 0 to 3 (the setting "Raccourcis Sort"); other values sort as 0. Setting it
  // refills the grid from the remembered list.
  int SortOrder() const { return sortOrder_; }
  void setSortOrder(int order);
  // Called when a click on a header changed the sort column.
  std::function<void(int order)> OnSortChanged;

  // Grid contents as rows of the original grid: row 0 is the header, rows 1.. the actions.
  int RowCount() const;
  QString Cells(int column, int row) const;
  TCustomSuperAction* RowAction(int row) const;

  // The toggle that shows and hides the window (its close box runs it).
  void setToggle(TtoggleAction* toggle) { toggle_ = toggle; }
  // taraccourcisprepare: the toggle takes the window's visibility as its state.
  void taraccourcisprepare(QObject* sender);
  // taraccourcisfalseExecute: checks the toggle, brings a window that is off to the left back to
  // left 0, shows it in front.
  void taraccourcisfalseExecute(QObject* sender);
  // taraccourcisTrueExecute: hides the window and unchecks the toggle.
  void taraccourcisTrueExecute(QObject* sender);

  // The grid's mouse handlers, by cell (row 0 is the header).
  void StringGrid1MouseDown(int column, int row);
  void StringGrid1MouseUp();
  void StringGrid1DblClick();

  QTableWidget* StringGrid1 = nullptr;
  QLabel* leHeader = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void refill();

  QPointer<TActionList> list_;
  QList<QPointer<TCustomSuperAction>> rows_;
  QPointer<TtoggleAction> toggle_;
  int sortOrder_ = 0;
  int clickedColumn_ = -1;
  int clickedRow_ = -1;
};

}  // namespace vistrel::actions
