#pragma once
// The DV information block (DVINFO) that DV media types carry: read from a frame's packs, found
// in a type, and the dvsd video type that holds one after its VIDEOINFOHEADER, as DV video
// streams are described in AVI files (a 72-byte strf: the bitmap header and the block). Pure
// functions; any thread.

#include <optional>
#include <span>

#include "platform/media/IDVEnc.h"
#include "platform/media/MediaType.h"
#include "platform/media/dv/DvFrame.h"

namespace vistrel::platform::media {

// The AAUX source and control packs of both channel pairs and the VAUX source and control packs
// of a frame (0xFFFFFFFF for a pack that is absent, so that a silent frame announces no sound).
DVINFO dvInfoOfFrame(std::span<const uint8_t> frame, dv::System system);

// The block of an interleaved type (FORMAT_DvInfo) or of a dvsd video type (after its
// VIDEOINFOHEADER); nullopt when the type carries none.
std::optional<DVINFO> dvInfoOf(const MediaType& type);

// Video/dvsd, 720 x 576 or 720 x 480 at 25 or 29.97 frames a second, biSizeImage and the sample
// size one frame (144 000 or 120 000 bytes), the block after the VIDEOINFOHEADER.
MediaType dvsdVideoType(dv::System system, const DVINFO& info);

}  // namespace vistrel::platform::media
