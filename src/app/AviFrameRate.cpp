#include "app/AviFrameRate.h"

#include <QFile>
#include <QtEndian>
#include <cmath>

namespace vistrel::app {
namespace {

bool readExactly(QFile& file, char* to, qint64 count) { return file.read(to, count) == count; }

}  // namespace

std::optional<AviVideoHeader> FindAviVideoHeader(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const qint64 end = file.size();
  char head[8];
  char type[4];
  if (!readExactly(file, head, 8) || QByteArray(head, 4) != "RIFF" || !readExactly(file, type, 4))
    return std::nullopt;
  // The chunks follow each other; a list other than "movi" is walked into by reading on past
  // its type. Later RIFF chunks (OpenDML's "AVIX") are lists too.
  while (file.pos() + 8 <= end) {
    if (!readExactly(file, head, 8)) break;
    const QByteArray id(head, 4);
    const qint64 size = qFromLittleEndian<quint32>(head + 4);
    const qint64 data = file.pos();
    const qint64 next = data + size + (size & 1);
    if (id == "LIST" || id == "RIFF") {
      if (!readExactly(file, type, 4)) break;
      if (QByteArray(type, 4) == "movi" && !file.seek(next)) break;
      continue;
    }
    if (id == "strh" && size >= 28) {
      char strh[28];
      if (!readExactly(file, strh, 28)) break;
      const QByteArray fccType(strh, 4);
      if (fccType == "vids" || fccType == "iavs") return AviVideoHeader{data + 4, data + 20};
    }
    if (next > end || !file.seek(next)) break;
  }
  return std::nullopt;
}

bool RewriteAviFrameRate(const QString& path, double framesPerSecond) {
  if (!(framesPerSecond > 0) || !std::isfinite(framesPerSecond)) return false;
  const double scale = std::round(1'000'000.0 / framesPerSecond);
  if (scale < 1 || scale > 4'294'967'295.0) return false;
  const auto header = FindAviVideoHeader(path);
  if (!header) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite) || !file.seek(header->scaleOffset)) return false;
  char fields[8];
  qToLittleEndian(static_cast<quint32>(scale), fields);
  qToLittleEndian(static_cast<quint32>(1'000'000), fields + 4);
  return file.write(fields, 8) == 8 && file.flush();
}

}  // namespace vistrel::app
