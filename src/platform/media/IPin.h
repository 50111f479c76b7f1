#pragma once
// A pin of a filter. Pins keep their identity for the life of their filter (the same object is
// handed out by every route), across disconnection and reconnection. Connection calls are made
// on the user-interface thread with the graph stopped.

#include <QString>
#include <memory>

#include "platform/media/Enumerator.h"
#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

class IBaseFilter;
class IPin;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct PIN_INFO {
  std::shared_ptr<IBaseFilter> pFilter;  // null once the filter is gone
  PIN_DIRECTION dir = PINDIR_INPUT;
  QString achName;
};

using IEnumMediaTypes = Enumerator<MediaType>;

class IPin : public virtual Unknown {
 public:
  // Output pins only. With no type (or a partial one, whose empty fields are wildcards) the pins
  // negotiate: the receiving pin's types first, then this pin's own; a complete type is used as
  // it is. Never inserts filters.
  virtual HRESULT Connect(const std::shared_ptr<IPin>& receivePin, const MediaType* type) = 0;
  // Input pins only: called by the connecting output pin with a complete type.
  virtual HRESULT ReceiveConnection(const std::shared_ptr<IPin>& connector, const MediaType& type) = 0;
  // Breaks this end only (S_FALSE when it was not connected); the caller disconnects the peer.
  virtual HRESULT Disconnect() = 0;
  // VFW_E_NOT_CONNECTED and a null peer when not connected.
  virtual HRESULT ConnectedTo(std::shared_ptr<IPin>& peer) = 0;
  // A deep copy of the connection's type; VFW_E_NOT_CONNECTED when not connected.
  virtual HRESULT ConnectionMediaType(MediaType& type) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO& info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION& dir) = 0;
  virtual HRESULT QueryId(QString& id) = 0;
  // S_OK when the pin would accept the type now, S_FALSE otherwise.
  virtual HRESULT QueryAccept(const MediaType& type) = 0;
  // The pin's preferred types (complete types, or partial ones for pins that accept many).
  virtual HRESULT EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& types) = 0;
};

using IEnumPins = Enumerator<std::shared_ptr<IPin>>;

}  // namespace vistrel::platform::media
