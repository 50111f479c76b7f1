#pragma once
// The capture graph builder bound to one graph: pin and interface lookups by category and type,
// stream rendering through intelligent connect, and output-file setup. User-interface thread.

#include <memory>
#include <typeinfo>

#include "platform/media/FilterGraph.h"
#include "platform/media/IFileSinkFilter.h"

namespace vistrel::platform::media {

class CaptureGraphBuilder2 : public virtual Unknown {
 public:
  static std::shared_ptr<CaptureGraphBuilder2> create();

  HRESULT SetFiltergraph(const std::shared_ptr<FilterGraph>& graph);
  HRESULT GetFiltergraph(std::shared_ptr<FilterGraph>& graph);

  // The index-th pin, in EnumPins order, of the given direction that matches the category and
  // major type (null: anything; a connected pin's connection type, else its offered types) and,
  // with unconnectedOnly, is not connected. E_FAIL when there is none.
  HRESULT FindPin(const std::shared_ptr<IBaseFilter>& filter, PIN_DIRECTION dir, const GUID* category,
                  const GUID* type, bool unconnectedOnly, int index, std::shared_ptr<IPin>& pin);

  // With a pin category: the filter's output pins of that category and type, then what lies
  // upstream of the filter. LOOK_UPSTREAM_ONLY: only upstream of the filter's input pins, the
  // filter itself excluded. No category: the filter, its pins, then upstream and downstream.
  // E_NOINTERFACE when the type excludes every pin or nothing answers.
  template <class T>
  HRESULT FindInterface(const GUID* category, const GUID* type, const std::shared_ptr<IBaseFilter>& filter,
                        std::shared_ptr<T>& result) {
    std::shared_ptr<Unknown> found;
    HRESULT hr = findInterface(
        category, type, filter,
        [](const std::shared_ptr<Unknown>& o) { return interfaceOf<T>(o) != nullptr; }, found);
    result = interfaceOf<T>(found);
    return hr;
  }

  // The source is a pin, or a filter whose first unconnected output of the category and type is
  // used; through the intermediate filter when given; into the sink's first unconnected input
  // that accepts (intelligent connect, converters may be inserted).
  HRESULT RenderStream(const GUID* category, const GUID* type, const std::shared_ptr<Unknown>& source,
                       const std::shared_ptr<IBaseFilter>& intermediate,
                       const std::shared_ptr<IBaseFilter>& sink);

  // MEDIASUBTYPE_Avi: an AVI mux and a File Writer, connected, the name set. MEDIASUBTYPE_Asf: the
  // ASF writer, returned as both. REGDB_E_CLASSNOTREG while the needed filter is not registered.
  HRESULT SetOutputFileName(const GUID& subtype, const QString& fileName, std::shared_ptr<IBaseFilter>& mux,
                            std::shared_ptr<IFileSinkFilter>& sink);

 private:
  using Predicate = bool (*)(const std::shared_ptr<Unknown>&);
  HRESULT findInterface(const GUID* category, const GUID* type, const std::shared_ptr<IBaseFilter>& filter,
                        Predicate has, std::shared_ptr<Unknown>& found);
  std::shared_ptr<FilterGraph> graph_;
};

}  // namespace vistrel::platform::media
