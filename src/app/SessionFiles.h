#pragma once
// The files of the session: every video finished and every picture saved since the program
// started, with what was known when it was captured. Kept in memory only; the session list panel
// shows it. Main thread only.

#include <QAbstractListModel>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace vistrel::app {

struct TDataFichier {
  // Read from the file system when the item is made; empty when the file does not exist then.
  QString Path;
  int64_t Size = 0;
  QDateTime Created, LastAccess, LastWrite;
  QString VideoSource;
  QString AudioSource;
  QString AudioInput;
  QString CaptureFormat;
  int32_t DroppedFrames = -1;   // -1: unknown
  int32_t CapturedFrames = -1;  // -1: unknown; 1 for a picture

  // An item for `path` with the file's size and times.
  static TDataFichier ForFile(const QString& path);
};

class TSessionFiles : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  // Appends at the end.
  void Add(TDataFichier item);
  int Count() const { return static_cast<int>(items_.size()); }
  const TDataFichier& Item(int index) const { return items_.at(static_cast<size_t>(index)); }

  // The file name is shown; the item's path under Qt::ToolTipRole.
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::vector<TDataFichier> items_;
};

}  // namespace vistrel::app
