#pragma once
// A name for a filter that can be bound: a device or a registered filter. Monikers are kept for
// the life of the program; binding a moniker whose device is gone fails.

#include <QString>
#include <QVariant>
#include <memory>

#include "platform/media/Enumerator.h"
#include "platform/media/IBaseFilter.h"

namespace vistrel::platform::media {

class IMoniker : public virtual Unknown {
 public:
  // A fresh filter object on each call; VFW_E_DEVICE_LOST-like failure once the device is gone.
  virtual HRESULT BindToObject(std::shared_ptr<IBaseFilter>& filter) = 0;
  // Property bag: "FriendlyName" (string), "CLSID" (string "{...}"), "DevicePath" (string).
  virtual HRESULT Read(const QString& property, QVariant& value) = 0;
  virtual HRESULT GetDisplayName(QString& name) = 0;
  // Exactly S_OK for the same device (also across enumerations), S_FALSE otherwise.
  virtual HRESULT IsEqual(const std::shared_ptr<IMoniker>& other) = 0;
};

using IEnumMoniker = Enumerator<std::shared_ptr<IMoniker>>;

}  // namespace vistrel::platform::media
