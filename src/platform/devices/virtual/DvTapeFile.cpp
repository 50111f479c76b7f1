#include "platform/devices/virtual/DvTapeFile.h"

#include <QFileInfo>
#include <vector>

namespace vistrel::platform::devices {

using media::dv::System;
namespace dv = media::dv;

namespace {
// Section type of a DIF block (the top three bits of its first byte).
int sectionOf(std::span<const uint8_t> frame, size_t block) { return frame[block * dv::kBlockBytes] >> 5; }

int fromBcd(uint8_t b, uint8_t tensMask) { return ((b >> 4) & tensMask) * 10 + (b & 0x0F); }

// The four data bytes of the first pack `id` found in `blocks` of the sequences [first, last),
// each block holding `packs` packs of five bytes from its fourth byte.
bool findPack(std::span<const uint8_t> frame, int first, int last, std::initializer_list<int> blocks,
              int packs, int packLength, uint8_t id, uint32_t& data) {
  for (int s = first; s < last; ++s)
    for (int b : blocks)
      for (int p = 0; p < packs; ++p) {
        const size_t at = static_cast<size_t>(s) * dv::kSequenceBytes +
                          static_cast<size_t>(b) * dv::kBlockBytes + 3 + static_cast<size_t>(p * packLength) +
                          (packLength == 8 ? 3 : 0);
        if (at + 5 > frame.size()) return false;
        if (frame[at] != id) continue;
        data = frame[at + 1] | frame[at + 2] << 8 | frame[at + 3] << 16 |
               static_cast<uint32_t>(frame[at + 4]) << 24;
        return true;
      }
  return false;
}

}  // namespace

QString checkDvFrameHeader(std::span<const uint8_t> header, System& system) {
  if (header.size() < 8 * dv::kBlockBytes) return QStringLiteral("il est plus court qu'une image DV");
  // A DIF sequence starts with its header block, two subcode blocks, three VAUX blocks and an
  // audio block, in that order, numbered from 0.
  static const int expected[7] = {0, 1, 1, 2, 2, 2, 3};
  for (size_t b = 0; b < 7; ++b)
    if (sectionOf(header, b) != expected[b])
      return QStringLiteral("il ne commence pas par un bloc d'en-tête DV");
  if (header[1] >> 4 != 0 || header[2] != 0)
    return QStringLiteral("il ne commence pas par un bloc d'en-tête DV");
  system = (header[3] & 0x80) ? System::Pal : System::Ntsc;
  return {};
}

std::unique_ptr<DvTapeFile> DvTapeFile::open(const QString& path, QString& error) {
  std::unique_ptr<DvTapeFile> tape(new DvTapeFile);
  tape->file_.setFileName(path);
  if (!QFileInfo(path).isFile() || !tape->file_.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("Le fichier de cassette DV « %1 » ne peut pas être ouvert.").arg(path);
    return nullptr;
  }
  const QByteArray head = tape->file_.read(static_cast<qint64>(8 * dv::kBlockBytes));
  const QString why =
      checkDvFrameHeader(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(head.constData()),
                                                  static_cast<size_t>(head.size())),
                         tape->system_);
  if (!why.isEmpty()) {
    error = QStringLiteral("Le fichier de cassette DV « %1 » n'est pas un fichier DV : %2.").arg(path, why);
    return nullptr;
  }
  tape->frames_ = tape->file_.size() / static_cast<qint64>(tape->frameBytes());
  if (tape->frames_ == 0) {
    error =
        QStringLiteral(
            "Le fichier de cassette DV « %1 » n'est pas un fichier DV : il est plus court qu'une image DV.")
            .arg(path);
    return nullptr;
  }
  return tape;
}

bool DvTapeFile::frameAt(int64_t index, std::span<uint8_t> frame) {
  if (index < 0 || index >= frames_ || frame.size() < frameBytes()) return false;
  const auto bytes = static_cast<qint64>(frameBytes());
  if (!file_.seek(index * bytes)) return false;
  return file_.read(reinterpret_cast<char*>(frame.data()), bytes) == bytes;
}

bool readTimeCodePack(std::span<const uint8_t> frame, System system, dv::TimeCode& code) {
  if (frame.size() < dv::frameBytes(system)) return false;
  auto decode = [&](uint32_t d) {
    code.frames = fromBcd(d & 0xFF, 3);
    code.seconds = fromBcd((d >> 8) & 0xFF, 7);
    code.minutes = fromBcd((d >> 16) & 0xFF, 7);
    code.hours = fromBcd((d >> 24) & 0xFF, 3);
    return true;
  };
  // Where camcorders and our tapes put it, and where the program's decoder reads it: the fourth
  // sync block of either subcode block of the first sequence.
  for (size_t at : {size_t{110}, size_t{190}})
    if (frame[at] == 0x13)
      return decode(frame[at + 1] | frame[at + 2] << 8 | frame[at + 3] << 16 |
                    static_cast<uint32_t>(frame[at + 4]) << 24);
  // Elsewhere in the subcode: six sync blocks of three ID bytes and a five-byte pack.
  uint32_t d = 0;
  if (!findPack(frame, 0, dv::sequences(system), {1, 2}, 6, 8, 0x13, d)) return false;
  return decode(d);
}

}  // namespace vistrel::platform::devices
