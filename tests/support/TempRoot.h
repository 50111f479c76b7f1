#pragma once
// A temporary VISTREL_ROOT for one test: every folder the platform layer uses (program folder,
// home, configuration, trash, user folders, registry hives) lives below it and is removed at the
// end. The previous root is restored on destruction.

#include <QString>
#include <QTemporaryDir>

namespace vistrel::testing {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  QString path() const { return dir_.path(); }
  QString file(const QString& relative) const { return dir_.filePath(relative); }
  // Writes `bytes` to a file below the root, creating its folders.
  void write(const QString& relative, const QByteArray& bytes) const;
  QByteArray read(const QString& relative) const;

 private:
  QTemporaryDir dir_;
  QByteArray previous_;
};

// Makes the platform layer reread its environment (folders, hives) after a change.
void reloadPlatform();

}  // namespace vistrel::testing
