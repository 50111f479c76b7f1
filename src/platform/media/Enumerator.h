#pragma once
// The enumerators of the layer (pins, media types, filters, monikers): a snapshot taken when the
// enumerator is made, walked with Next. Next(n, array, &fetched) returns S_OK when it fetched n
// items and S_FALSE when fewer were left; S_FALSE is a normal success. Items are the caller's.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

template <class T>
class Enumerator : public Unknown {
 public:
  explicit Enumerator(std::vector<T> items) : items_(std::move(items)) {}

  HRESULT Next(uint32_t count, T* out, uint32_t* fetched) {
    if (!out && count) return E_POINTER;
    if (!fetched && count > 1) return E_POINTER;
    uint32_t n = 0;
    while (n < count && pos_ < items_.size()) out[n++] = items_[pos_++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(uint32_t count) {
    pos_ += count;
    if (pos_ > items_.size()) {
      pos_ = items_.size();
      return S_FALSE;
    }
    return S_OK;
  }
  HRESULT Reset() {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(std::shared_ptr<Enumerator>& out) const {
    out = std::make_shared<Enumerator>(items_);
    out->pos_ = pos_;
    return S_OK;
  }
  // Convenience for C++ callers: every item at once.
  const std::vector<T>& all() const { return items_; }

 private:
  std::vector<T> items_;
  size_t pos_ = 0;
};

}  // namespace vistrel::platform::media
