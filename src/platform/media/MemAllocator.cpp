#include "platform/media/MemAllocator.h"

#include <cstdlib>
#include <vector>

namespace vistrel::platform::media {

struct MemAllocator::Pool {
  mutable std::mutex lock;
  std::condition_variable available;
  ALLOCATOR_PROPERTIES props;
  bool committed = false;
  int generation = 0;  // buffers of an older commit are freed, not pooled, when they return
  std::vector<uint8_t*> freeList;
  int outstanding = 0;

  static void freeStorage(uint8_t* p) { std::free(p); }
};

MemAllocator::MemAllocator() : pool_(std::make_shared<Pool>()) {}

MemAllocator::~MemAllocator() { Decommit(); }

HRESULT MemAllocator::SetProperties(const ALLOCATOR_PROPERTIES& request, ALLOCATOR_PROPERTIES& actual) {
  std::lock_guard g(pool_->lock);
  if (pool_->committed) return VFW_E_WRONG_STATE;
  if (request.cBuffers < 0 || request.cbBuffer < 0 || request.cbAlign < 0 || request.cbPrefix < 0)
    return E_INVALIDARG;
  ALLOCATOR_PROPERTIES p = request;
  if (p.cbAlign <= 0) p.cbAlign = 1;
  if ((p.cbAlign & (p.cbAlign - 1)) != 0) return E_INVALIDARG;  // alignment must be a power of two
  if (p.cBuffers == 0) p.cBuffers = 1;
  p.cbBuffer = (p.cbBuffer + p.cbAlign - 1) / p.cbAlign * p.cbAlign;
  pool_->props = p;
  actual = p;
  return S_OK;
}

HRESULT MemAllocator::GetProperties(ALLOCATOR_PROPERTIES& props) const {
  std::lock_guard g(pool_->lock);
  props = pool_->props;
  return S_OK;
}

HRESULT MemAllocator::Commit() {
  std::lock_guard g(pool_->lock);
  if (pool_->committed) return S_OK;
  if (pool_->props.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  const size_t align = static_cast<size_t>(pool_->props.cbAlign < 16 ? 16 : pool_->props.cbAlign);
  const size_t bytes =
      (static_cast<size_t>(pool_->props.cbBuffer + pool_->props.cbPrefix) + kSampleTailSlack + align - 1) /
      align * align;
  for (int i = 0; i < pool_->props.cBuffers; ++i) {
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(align, bytes));
    if (!p) {
      for (uint8_t* q : pool_->freeList) Pool::freeStorage(q);
      pool_->freeList.clear();
      return E_OUTOFMEMORY;
    }
    pool_->freeList.push_back(p);
  }
  pool_->committed = true;
  return S_OK;
}

HRESULT MemAllocator::Decommit() {
  {
    std::lock_guard g(pool_->lock);
    if (!pool_->committed) return S_OK;
    pool_->committed = false;
    ++pool_->generation;
    for (uint8_t* p : pool_->freeList) Pool::freeStorage(p);
    pool_->freeList.clear();
  }
  pool_->available.notify_all();
  return S_OK;
}

HRESULT MemAllocator::GetBuffer(std::shared_ptr<MediaSample>& sample, uint32_t flags) {
  sample.reset();
  std::unique_lock g(pool_->lock);
  for (;;) {
    if (!pool_->committed) return VFW_E_NOT_COMMITTED;
    if (!pool_->freeList.empty()) break;
    if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
    pool_->available.wait(g);
  }
  uint8_t* storage = pool_->freeList.back();
  pool_->freeList.pop_back();
  ++pool_->outstanding;
  const int generation = pool_->generation;
  const int32_t prefix = pool_->props.cbPrefix;
  const int32_t size = pool_->props.cbBuffer;
  g.unlock();

  std::weak_ptr<Pool> weakPool = pool_;
  auto* raw = new SampleBuffer(storage + prefix, size);
  std::shared_ptr<SampleBuffer> buffer(raw, [weakPool, storage, generation](SampleBuffer* b) {
    delete b;
    if (auto pool = weakPool.lock()) {
      std::unique_lock lg(pool->lock);
      --pool->outstanding;
      if (pool->committed && pool->generation == generation) {
        pool->freeList.push_back(storage);
        lg.unlock();
        pool->available.notify_one();
        return;
      }
    }
    Pool::freeStorage(storage);
  });
  sample = std::make_shared<MediaSample>(std::move(buffer));
  return S_OK;
}

int32_t MemAllocator::freeCount() const {
  std::lock_guard g(pool_->lock);
  return static_cast<int32_t>(pool_->freeList.size());
}

}  // namespace vistrel::platform::media
