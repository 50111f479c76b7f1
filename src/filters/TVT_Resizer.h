#pragma once
// The resizer in the graph ("Orbano Resizer"): a copy filter from 24-bit RGB to 24-bit RGB of
// the size the DivX output wants, around ResizeProcessor.
//
// Threads: the setters and the connection run on the user-interface thread with the graph
// stopped; Transform on the upstream streaming thread.

#include "filters/ResizeProcessor.h"
#include "platform/media/TransformFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_Resizer =
    platform::media::makeGuid("{B543CC45-1D4D-4233-A58D-7A41248794FB}");

class TVT_Resizer : public platform::media::TransformFilter {
 public:
  TVT_Resizer();
  static std::shared_ptr<TVT_Resizer> create() { return std::make_shared<TVT_Resizer>(); }

  // The "Ratio DivX" mode (0 normal, 1 4:3, 2 16:9, 3 native); called before the graph is
  // connected. Once set, a mode stays set.
  void SetMode(uint8_t mode) { processing_.SetMode(mode); }
  // The "Demi Taille" setting.
  void SetHalfSize(bool on) { processing_.SetHalfSize(on); }
  // The engine's display aspect of the connected video, used by mode 0.
  void SetDisplayAspect(int32_t x, int32_t y) { processing_.SetDisplayAspect(x, y); }
  const ResizeProcessor& processing() const { return processing_; }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  platform::media::HRESULT CheckTransform(const platform::media::MediaType& in,
                                          const platform::media::MediaType& out) override;
  platform::media::HRESULT DecideBufferSize(platform::media::MemAllocator& allocator,
                                            platform::media::ALLOCATOR_PROPERTIES& request) override;
  platform::media::HRESULT GetMediaType(int position, platform::media::MediaType& type) override;
  platform::media::HRESULT SetMediaType(platform::media::PIN_DIRECTION direction,
                                        const platform::media::MediaType& type) override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& in,
                                     platform::media::MediaSample& out) override;

 private:
  // The output type for an input type, with the current target size.
  platform::media::MediaType outputTypeFor(const platform::media::MediaType& in) const;

  ResizeProcessor processing_;
  platform::media::MediaType input_;
  platform::media::MediaType output_;
};

}  // namespace vistrel::filters
