#pragma once
// The common part of every pin of our filters: identity, direction, name, category, connection
// state and the hooks a filter supplies for type checking. Connection state changes only on the
// user-interface thread while the filter is stopped; streaming threads read it without a lock.

#include <QString>
#include <memory>

#include "platform/media/IKsPropertySet.h"
#include "platform/media/IPin.h"

namespace vistrel::platform::media {

class BaseFilter;

class BasePin : public IPin, public IKsPropertySet {
 public:
  BasePin(BaseFilter* filter, PIN_DIRECTION dir, QString name, const GUID& category = GUID_NULL);
  ~BasePin() override;

  HRESULT Disconnect() override;
  HRESULT ConnectedTo(std::shared_ptr<IPin>& peer) override;
  HRESULT ConnectionMediaType(MediaType& type) override;
  HRESULT QueryPinInfo(PIN_INFO& info) override;
  HRESULT QueryDirection(PIN_DIRECTION& dir) override;
  HRESULT QueryId(QString& id) override;
  HRESULT QueryAccept(const MediaType& type) override;
  HRESULT EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& types) override;

  HRESULT Get(const GUID& set, uint32_t id, void* data, uint32_t size, uint32_t* returned) override;
  HRESULT QuerySupported(const GUID& set, uint32_t id, uint32_t* support) override;

  // Hooks. CheckMediaType: S_OK to accept, VFW_E_TYPE_NOT_ACCEPTED (or S_FALSE) to refuse.
  virtual HRESULT CheckMediaType(const MediaType& type) = 0;
  // The types this pin proposes, position 0 first: VFW_S_NO_MORE_ITEMS past the end.
  virtual HRESULT GetMediaType(int position, MediaType& type);
  virtual HRESULT SetMediaType(const MediaType& type);
  virtual HRESULT CheckConnect(const std::shared_ptr<IPin>& peer);
  virtual HRESULT CompleteConnect(const std::shared_ptr<IPin>& peer);
  virtual HRESULT BreakConnect();
  // Stopped -> paused and back (allocators are committed and decommitted here).
  virtual HRESULT Active();
  virtual HRESULT Inactive();

  bool isConnected() const { return connected_; }
  const MediaType& currentMediaType() const { return mt_; }
  PIN_DIRECTION direction() const { return dir_; }
  const QString& name() const { return name_; }
  const GUID& category() const { return category_; }
  void setCategory(const GUID& category) { category_ = category; }
  BaseFilter* filter() const { return filter_; }
  std::shared_ptr<IPin> peer() const { return connected_ ? peer_.lock() : nullptr; }
  std::shared_ptr<IPin> self() { return std::dynamic_pointer_cast<IPin>(weak_from_this().lock()); }
  // The filter is going away: the pin answers "no filter" from now on.
  void detachFilter() { filter_ = nullptr; }

 protected:
  // Common end of connection bookkeeping; the filter hears of it.
  void setConnected(const std::shared_ptr<IPin>& peer, const MediaType& type);
  void clearConnection();
  bool filterStopped() const;

  BaseFilter* filter_;
  PIN_DIRECTION dir_;
  QString name_;
  GUID category_;
  std::weak_ptr<IPin> peer_;
  bool connected_ = false;
  MediaType mt_;
};

}  // namespace vistrel::platform::media
