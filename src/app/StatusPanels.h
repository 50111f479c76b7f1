#pragma once
// The main window's status bar: four panels whose text and colours the program draws itself,
// and a spare one of width 10 at the end. Each text is centred in its panel; panel 1 may carry a
// red suffix 3 pixels after its text, centred together with it.

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>

namespace vistrel::app {

class StatusPanels : public QWidget {
  Q_OBJECT
 public:
  struct Panel {
    QString text;
    QColor textColour = Qt::black;
    QColor background;  // invalid: the window's colour
    int width = 100;
  };
  static constexpr int kPanelCount = 4;

  explicit StatusPanels(QWidget* parent = nullptr);
  void setPanelWidth(int index, int width);
  void setPanel(int index, const QString& text, const QColor& textColour = Qt::black,
                const QColor& background = {});
  const Panel& panel(int index) const { return panels_.at(static_cast<size_t>(index)); }
  // Drawn in red after panel 1's text (the horizontal flip marker while previewing).
  void setSuffix(const QString& suffix);
  const QString& suffix() const { return suffix_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<Panel, kPanelCount> panels_;
  QString suffix_;
};

}  // namespace vistrel::app
