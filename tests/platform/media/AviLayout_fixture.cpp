#include "platform/media/AviLayout.h"

#include <QFile>

namespace vistrel::testing {
namespace {

uint32_t le32(const QByteArray& b, qsizetype at) {
  if (at + 4 > b.size()) return 0;
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// Walks the chunks of [begin, end) in a block held in memory.
template <class Visit>
void walk(const QByteArray& b, qsizetype begin, qsizetype end, Visit visit) {
  for (qsizetype at = begin; at + 8 <= end;) {
    const std::string id = b.mid(at, 4).toStdString();
    const qsizetype size = le32(b, at + 4);
    visit(id, at + 8, size);
    at += 8 + ((size + 1) & ~qsizetype{1});
  }
}

void readHeaders(const QByteArray& hdrl, AviLayout& layout) {
  walk(hdrl, 0, hdrl.size(), [&](const std::string& id, qsizetype data, qsizetype size) {
    if (id == "avih") {
      layout.avihFlags = le32(hdrl, data + 12);
      layout.avihTotalFrames = le32(hdrl, data + 16);
    } else if (id == "LIST" && hdrl.mid(data, 4) == "strl") {
      AviStreamLayout stream;
      walk(hdrl, data + 4, data + size, [&](const std::string& sid, qsizetype sdata, qsizetype ssize) {
        if (sid == "strh") {
          stream.strh = hdrl.mid(sdata, ssize);
          stream.fccType = stream.strh.mid(0, 4).toStdString();
          stream.fccHandler = stream.strh.mid(4, 4).toStdString();
        } else if (sid == "strf") {
          stream.strf = hdrl.mid(sdata, ssize);
        } else if (sid == "indx") {
          stream.hasIndx = true;
          stream.indxEntries = le32(hdrl, sdata + 4);
        }
      });
      layout.streams.push_back(stream);
    }
  });
}

}  // namespace

AviLayout readAviLayout(const QString& path) {
  AviLayout layout;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return layout;
  const qint64 total = file.size();
  for (qint64 riff = 0; riff + 12 <= total;) {
    file.seek(riff);
    const QByteArray head = file.read(12);
    if (head.mid(0, 4) != "RIFF") return layout;
    layout.riffForms.push_back(head.mid(8, 4).toStdString());
    const qint64 riffEnd = riff + 8 + le32(head, 4);
    for (qint64 at = riff + 12; at + 8 <= riffEnd && at + 8 <= total;) {
      file.seek(at);
      const QByteArray chunk = file.read(12);
      const std::string id = chunk.mid(0, 4).toStdString();
      const qint64 size = le32(chunk, 4);
      if (id == "LIST" && chunk.mid(8, 4) == "hdrl") {
        readHeaders(file.read(size - 4), layout);
      } else if (id == "LIST" && chunk.mid(8, 4) == "movi") {
        std::vector<std::string> indexes;
        for (qint64 c = at + 12; c + 8 <= at + 8 + size;) {
          file.seek(c);
          const QByteArray sub = file.read(8);
          if (sub.size() < 8) break;
          const std::string subId = sub.mid(0, 4).toStdString();
          if (subId.rfind("ix", 0) == 0) indexes.push_back(subId);
          c += 8 + ((le32(sub, 4) + 1) & ~qint64{1});
        }
        layout.standardIndexes.push_back(indexes);
      } else if (id == "idx1") {
        layout.hasIdx1 = true;
      }
      at += 8 + ((size + 1) & ~qint64{1});
    }
    riff = riffEnd + (riffEnd & 1);
  }
  layout.valid = !layout.riffForms.empty() && layout.riffForms.front() == "AVI ";
  return layout;
}

}  // namespace vistrel::testing
