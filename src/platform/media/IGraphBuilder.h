#pragma once

#include "platform/media/IFilterGraph.h"

namespace vistrel::platform::media {

class IGraphBuilder : public IFilterGraph {
 public:
  // Intelligent connect: directly first, then through registered converters from the mapper in
  // merit order (depth-limited); inserted filters stay in the graph on a simple chain.
  virtual HRESULT Connect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in) = 0;
  // Connects the output to a renderer found in the mapper (renderers of its major type).
  virtual HRESULT Render(const std::shared_ptr<IPin>& out) = 0;
};

}  // namespace vistrel::platform::media
