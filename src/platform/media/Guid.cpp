#include "platform/media/Guid.h"

namespace vistrel::platform::media {

QString GUID::toString() const {
  QString s = QStringLiteral("{%1-%2-%3-")
                  .arg(Data1, 8, 16, QLatin1Char('0'))
                  .arg(Data2, 4, 16, QLatin1Char('0'))
                  .arg(Data3, 4, 16, QLatin1Char('0'));
  for (int i = 0; i < 8; ++i) {
    if (i == 2) s += QLatin1Char('-');
    s += QStringLiteral("%1").arg(Data4[i], 2, 16, QLatin1Char('0'));
  }
  s += QLatin1Char('}');
  return s.toUpper();
}

bool GUID::fromString(const QString& text, GUID& out) {
  QString t = text.trimmed();
  if (t.startsWith(QLatin1Char('{')) && t.endsWith(QLatin1Char('}'))) t = t.mid(1, t.size() - 2);
  if (t.size() != 36 || t[8] != QLatin1Char('-') || t[13] != QLatin1Char('-') || t[18] != QLatin1Char('-') ||
      t[23] != QLatin1Char('-'))
    return false;
  bool ok1, ok2, ok3, ok4, ok5;
  GUID g;
  g.Data1 = t.mid(0, 8).toUInt(&ok1, 16);
  g.Data2 = static_cast<uint16_t>(t.mid(9, 4).toUInt(&ok2, 16));
  g.Data3 = static_cast<uint16_t>(t.mid(14, 4).toUInt(&ok3, 16));
  uint32_t c = t.mid(19, 4).toUInt(&ok4, 16);
  qulonglong d = t.mid(24, 12).toULongLong(&ok5, 16);
  if (!(ok1 && ok2 && ok3 && ok4 && ok5)) return false;
  g.Data4[0] = static_cast<uint8_t>(c >> 8);
  g.Data4[1] = static_cast<uint8_t>(c);
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(d >> (8 * (5 - i)));
  out = g;
  return true;
}

}  // namespace vistrel::platform::media
