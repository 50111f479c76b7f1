#pragma once
// The folders panel: where videos and pictures go, the roots of their names, whether the
// session's date goes into them, the companion DV program and the plug-in folder. The panel
// holds the controls; the main window composes the names and reacts to the edits.

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <functional>

namespace vistrel::app {

// A label that acts as a link to another panel.
class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLinkLabel(QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A path field with a button that opens a chooser (a folder browser or a file-open dialog).
class TPathEdit : public QWidget {
  Q_OBJECT
 public:
  enum class Kind { Folder, File };
  // Asks for a path starting from `current`; empty when the user cancelled.
  using Chooser = std::function<QString(QWidget* parent, Kind kind, const QString& current)>;

  TPathEdit(Kind kind, QWidget* parent = nullptr);
  QString text() const { return edit_->text(); }
  void setText(const QString& text) { edit_->setText(text); }
  QLineEdit* lineEdit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }
  // Runs the chooser; a chosen path replaces the text (which emits textChanged) and is reported
  // by `chosen`.
  void browse();

  // The chooser of every path field; tests replace it so that no dialog opens.
  static Chooser& chooser();

 signals:
  void textChanged(const QString& text);
  void chosen(const QString& path);

 private:
  Kind kind_;
  QLineEdit* edit_;
  QToolButton* browse_;
};

class TDossiersFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TDossiersFrame(QWidget* parent = nullptr);

  TPathEdit* VideoDirEdit;
  QToolButton* sbVideo;
  QLineEdit* VideoRacineEdit;
  QCheckBox* cbVideoDate;
  TLinkLabel* LabelVideo;

  TPathEdit* ImageDirEdit;
  QToolButton* sbImage;
  QLineEdit* ImageRacineEdit;
  QCheckBox* cbImageDate;
  TLinkLabel* LabelImage;

  TPathEdit* feKronel;
  TPathEdit* PlugInDirEdit;
};

}  // namespace vistrel::app
