#include "filters/Tvt_DVheader.h"

namespace vistrel::filters {

using namespace platform::media;

Tvt_DVheader::Tvt_DVheader()
    : TransInPlaceFilter(CLSID_vt_DVHeader, QStringLiteral("Orbano vt_DVHeader"), true) {}

HRESULT Tvt_DVheader::CheckInputType(const MediaType& in) {
  return IsDvMediaType(in) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Tvt_DVheader::Transform(MediaSample& sample) {
  const std::span<uint8_t> frame(sample.data(), static_cast<size_t>(sample.GetActualDataLength()));
  const FrameRingEntry* entry = nullptr;
  // An entry that holds no frame yet (or that the detector kept rewriting during the read) is not
  // copied: zeros would wipe the encoder's own header and leave a frame no player reads.
  if (const auto detector = detector_.load()) {
    const SceneDetector& d = detector->processing();
    if (d.Ring().Read(d.ReadIndex(), entry_)) entry = &entry_;
  }
  ApplyDvHeader(frame, entry, mode_.load());
  return S_OK;
}

}  // namespace vistrel::filters
