#pragma once
// The moniker of the layer: a display name (the identity), a property bag and a binder.

#include <functional>
#include <map>

#include "platform/media/IMoniker.h"

namespace vistrel::platform::media {

class FilterMoniker : public IMoniker {
 public:
  using Binder = std::function<std::shared_ptr<IBaseFilter>()>;
  FilterMoniker(QString displayName, QString friendlyName, const GUID& clsid, Binder binder);

  HRESULT BindToObject(std::shared_ptr<IBaseFilter>& filter) override;
  HRESULT Read(const QString& property, QVariant& value) override;
  HRESULT GetDisplayName(QString& name) override;
  HRESULT IsEqual(const std::shared_ptr<IMoniker>& other) override;

  void setProperty(const QString& name, const QVariant& value) { bag_[name] = value; }
  const QString& displayName() const { return displayName_; }
  const QString& friendlyName() const { return friendlyName_; }
  const GUID& clsid() const { return clsid_; }

 private:
  QString displayName_;
  QString friendlyName_;
  GUID clsid_;
  Binder binder_;
  std::map<QString, QVariant> bag_;
};

}  // namespace vistrel::platform::media
