#include "sources/Plugins.h"

#include <QDir>
#include <QStringDecoder>
#include <vector>

#include "platform/shell/Library.h"
#include "vistrel/plugin.h"

namespace vistrel::sources {

TpluginData* TpluginList::Items(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return &items_[static_cast<size_t>(index)];
}

int TpluginList::IndexOf(const QString& driverName) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].DriverName == driverName) return i;
  return -1;
}

QString ReadPluginName(void* exportFunction) {
  if (!exportFunction) return {};
  using NameFunction = void (*)(char*, int32_t);
  std::vector<char> buffer(VT_PLUGIN_NAME_BUFFER, '\0');
  try {
    reinterpret_cast<NameFunction>(exportFunction)(buffer.data(), VT_PLUGIN_NAME_BUFFER);
  } catch (...) {
    return {};
  }
  // A module that fills the whole buffer must not make us read past it.
  buffer.back() = '\0';
  const QByteArray bytes(buffer.data());
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString name = utf8.decode(bytes);
  if (utf8.hasError()) name = QString::fromLatin1(bytes);
  return name.left(VT_PLUGIN_NAME_MAX);
}

void TpluginList::Register(const QString& folder) {
  Clear();
  QString path = folder;
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  QDir dir(path);
  const QStringList files =
      dir.entryList({QStringLiteral("*.pvt")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
  for (const QString& file : files) {
    platform::shell::Library library;
    if (!library.load(path + file)) continue;
    Add({ReadPluginName(library.symbol("pi_drivername")), path + file, true});
    library.unload();
  }
}

}  // namespace vistrel::sources
