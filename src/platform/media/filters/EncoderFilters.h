#pragma once
// Registration of the encoder and writer filters in the filter mapper: the WM ASF Writer, the
// MPEG-4 video compressors (video compressor category), the MP3 encoder, the MPEG-1 Layer II
// audio encoder and the MPEG program- and system-stream multiplexers (legacy filter category).
// Idempotent; the MP3 encoder's class registration is written to HKEY_CLASSES_ROOT as well.

#include "platform/media/FilterMapper.h"

namespace vistrel::platform::media {

void registerEncoderFilters(FilterMapper& mapper);

}  // namespace vistrel::platform::media
