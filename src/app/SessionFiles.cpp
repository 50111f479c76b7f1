#include "app/SessionFiles.h"

#include <QFileInfo>

namespace vistrel::app {

TDataFichier TDataFichier::ForFile(const QString& path) {
  TDataFichier item;
  item.Path = path;
  const QFileInfo info(path);
  if (info.exists()) {
    item.Size = info.size();
    item.Created = info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime();
    item.LastAccess = info.lastRead();
    item.LastWrite = info.lastModified();
  }
  return item;
}

void TSessionFiles::Add(TDataFichier item) {
  const int row = Count();
  beginInsertRows({}, row, row);
  items_.push_back(std::move(item));
  endInsertRows();
}

int TSessionFiles::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

QVariant TSessionFiles::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= Count()) return {};
  const auto& item = Item(index.row());
  switch (role) {
    case Qt::DisplayRole: return QFileInfo(item.Path).fileName();
    case Qt::ToolTipRole: return item.Path;
    default: return {};
  }
}

}  // namespace vistrel::app
