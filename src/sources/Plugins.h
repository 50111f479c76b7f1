#pragma once
// The registered plug-in modules: every ".pvt" library of the "Plugins Dir" folder that loads,
// with the driver name it reports. See include/vistrel/plugin.h for what a module exports.
// User-interface thread only.
#include <QString>
#include <vector>

namespace vistrel::sources {

struct TpluginData {
  QString DriverName;
  QString FilePath;
  bool Usable = true;  // false once creating a device with it failed
};

class TpluginList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TpluginData* Items(int index);
  // The first module with exactly this driver name, or -1.
  int IndexOf(const QString& driverName) const;
  void Add(TpluginData data) { items_.push_back(std::move(data)); }
  void Clear() { items_.clear(); }
  // Empties the list, then loads every "*.pvt" of `folder` in directory order, reads its driver
  // name and unloads it. Files that do not load as libraries are skipped.
  void Register(const QString& folder);

 private:
  std::vector<TpluginData> items_;
};

// The name that a pi_drivername or pi_friendlyname export writes ("" for a null export), cut to
// 255 characters.
QString ReadPluginName(void* exportFunction);

}  // namespace vistrel::sources
