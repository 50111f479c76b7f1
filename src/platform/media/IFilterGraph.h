#pragma once

#include <QString>
#include <memory>

#include "platform/media/IBaseFilter.h"
#include "platform/media/IPin.h"

namespace vistrel::platform::media {

class IFilterGraph : public virtual Unknown {
 public:
  // Adds under `name`; a name already used gets a suffix and VFW_S_DUPLICATE_NAME (a success).
  // A filter already in a graph (this one or another) is refused with E_INVALIDARG.
  virtual HRESULT AddFilter(const std::shared_ptr<IBaseFilter>& filter, const QString& name) = 0;
  // Disconnects every pin of the filter and its peers, then removes it. E_POINTER for null,
  // VFW_E_NOT_FOUND when the filter is not in this graph (nothing changes).
  virtual HRESULT RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) = 0;
  virtual HRESULT EnumFilters(std::shared_ptr<IEnumFilters>& filters) = 0;
  virtual HRESULT FindFilterByName(const QString& name, std::shared_ptr<IBaseFilter>& filter) = 0;
  // Direct connection, no intermediate filter; both pins must be in this graph.
  virtual HRESULT ConnectDirect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
                                const MediaType* type) = 0;
  // Disconnects one end.
  virtual HRESULT Disconnect(const std::shared_ptr<IPin>& pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
};

}  // namespace vistrel::platform::media
