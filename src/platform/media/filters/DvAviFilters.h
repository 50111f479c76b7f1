#pragma once
// Registration of the DV and AVI filters in the filter mapper: DV Video Encoder (video
// compressor category), DV Video Decoder, DV Splitter, DV Muxer and AVI Mux.

#include "platform/media/FilterMapper.h"

namespace vistrel::platform::media {

void registerDvAviFilters(FilterMapper& mapper);

}  // namespace vistrel::platform::media
