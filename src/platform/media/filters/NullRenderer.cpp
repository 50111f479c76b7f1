#include "platform/media/filters/NullRenderer.h"

#include "platform/media/BaseInputPin.h"

namespace vistrel::platform::media {

namespace {
class NullInput : public BaseInputPin {
 public:
  explicit NullInput(NullRenderer* f) : BaseInputPin(f, QStringLiteral("In")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType&) override { return S_OK; }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override {
    owner_->countSample();
    return S_OK;
  }

 private:
  NullRenderer* owner_;
};
}  // namespace

NullRenderer::NullRenderer() : BaseFilter(CLSID_NullRenderer, QStringLiteral("Null Renderer")) {
  addPin(std::make_shared<NullInput>(this));
}

std::shared_ptr<IBaseFilter> NullRenderer::create() { return std::make_shared<NullRenderer>(); }

}  // namespace vistrel::platform::media
