#include "platform/media/FilterMoniker.h"

namespace vistrel::platform::media {

FilterMoniker::FilterMoniker(QString displayName, QString friendlyName, const GUID& clsid, Binder binder)
    : displayName_(std::move(displayName)),
      friendlyName_(std::move(friendlyName)),
      clsid_(clsid),
      binder_(std::move(binder)) {}

HRESULT FilterMoniker::BindToObject(std::shared_ptr<IBaseFilter>& filter) {
  filter = binder_ ? binder_() : nullptr;
  return filter ? S_OK : VFW_E_DEVICE_LOST;
}

HRESULT FilterMoniker::Read(const QString& property, QVariant& value) {
  if (property == QLatin1String("FriendlyName")) {
    value = friendlyName_;
    return S_OK;
  }
  if (property == QLatin1String("CLSID")) {
    value = clsid_.toString();
    return S_OK;
  }
  auto it = bag_.find(property);
  if (it == bag_.end()) {
    value = QVariant();
    return E_INVALIDARG;
  }
  value = it->second;
  return S_OK;
}

HRESULT FilterMoniker::GetDisplayName(QString& name) {
  name = displayName_;
  return S_OK;
}

HRESULT FilterMoniker::IsEqual(const std::shared_ptr<IMoniker>& other) {
  if (!other) return E_POINTER;
  QString name;
  other->GetDisplayName(name);
  return name == displayName_ ? S_OK : S_FALSE;
}

}  // namespace vistrel::platform::media
