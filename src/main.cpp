#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("Vistrel"));
  window.resize(719, 506);
  window.show();
  return app.exec();
}
