#pragma once
// The application manager's help window: a table of commands with their script syntax and their
// command-line switch. The program puts no entries in it. Closing it only hides it and tells the
// manager, which unchecks the action that shows it. User-interface thread.

#include <QString>
#include <QWidget>
#include <functional>

class QTableWidget;

namespace vistrel::actions {

class THelpForm : public QWidget {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* parent = nullptr);

  // Appends one row.
  void AddEntry(const QString& command, const QString& scriptSyntax, const QString& switchSyntax);
  QTableWidget* Grid() const { return grid_; }

  // Shows it, lays it out and brings it to the front.
  void ShowForm();

  // Called when the user closes the window.
  std::function<void()> OnClose;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTableWidget* grid_ = nullptr;
};

}  // namespace vistrel::actions
