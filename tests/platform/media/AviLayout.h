#pragma once
// The layout of an AVI file as a test checks it byte for byte: the RIFF forms one after the
// other, the main header's flags, each stream's headers and super index, the standard indexes of
// each movi list and the legacy index. Read with seeks, so that a file past 1 GiB costs no more
// than its headers.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::testing {

struct AviStreamLayout {
  std::string fccType, fccHandler;  // from strh
  QByteArray strh, strf;            // the chunks' data
  bool hasIndx = false;
  uint32_t indxEntries = 0;  // nEntriesInUse of the super index
};

struct AviLayout {
  bool valid = false;
  std::vector<std::string> riffForms;  // "AVI ", then "AVIX"...
  uint32_t avihFlags = 0;
  uint32_t avihTotalFrames = 0;
  std::vector<AviStreamLayout> streams;
  // For each movi list, in file order: the standard index chunks ("ix00", "ix01"...).
  std::vector<std::vector<std::string>> standardIndexes;
  bool hasIdx1 = false;
};

AviLayout readAviLayout(const QString& path);

}  // namespace vistrel::testing
