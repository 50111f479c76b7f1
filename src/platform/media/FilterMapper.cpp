#include "platform/media/FilterMapper.h"

#include <cstdio>

#include <algorithm>

#include "platform/media/FilterMoniker.h"

namespace vistrel::platform::media {

std::shared_ptr<FilterMapper> FilterMapper::instance() {
  static std::shared_ptr<FilterMapper> mapper = [] {
    std::shared_ptr<FilterMapper> m(new FilterMapper());
    registerSystemFilters(*m);
    return m;
  }();
  return mapper;
}

HRESULT FilterMapper::RegisterFilter(FilterRegistration registration) {
  if (!registration.create) return E_POINTER;
  std::lock_guard g(lock_);
  auto it = std::find_if(filters_.begin(), filters_.end(),
                         [&](const auto& f) { return f.clsid == registration.clsid; });
  if (it != filters_.end()) {
    if (it->name != registration.name) {
      clashes_.push_back(registration.name + QStringLiteral(" replaced ") + it->name);
      std::fprintf(stderr, "vistrel: warning: the filter \"%s\" takes the class id of \"%s\"\n",
                   qPrintable(registration.name), qPrintable(it->name));
    }
    *it = std::move(registration);
  } else
    filters_.push_back(std::move(registration));
  return S_OK;
}

std::vector<QString> FilterMapper::clashes() const {
  std::lock_guard g(lock_);
  return clashes_;
}

HRESULT FilterMapper::UnregisterFilter(const GUID& clsid) {
  std::lock_guard g(lock_);
  auto it = std::find_if(filters_.begin(), filters_.end(), [&](const auto& f) { return f.clsid == clsid; });
  if (it == filters_.end()) return S_FALSE;
  filters_.erase(it);
  return S_OK;
}

HRESULT FilterMapper::CreateInstance(const GUID& clsid, std::shared_ptr<IBaseFilter>& filter) {
  std::function<std::shared_ptr<IBaseFilter>()> create;
  {
    std::lock_guard g(lock_);
    for (const auto& f : filters_)
      if (f.clsid == clsid) create = f.create;
  }
  filter = create ? create() : nullptr;
  if (!create) return REGDB_E_CLASSNOTREG;
  return filter ? S_OK : E_FAIL;
}

std::vector<FilterRegistration> FilterMapper::registrations(const GUID& category) const {
  std::lock_guard g(lock_);
  std::vector<FilterRegistration> out;
  for (const auto& f : filters_)
    if (category.isNull() || f.category == category) out.push_back(f);
  return out;
}

namespace {
// A query's GUID_NULL matches anything. A registered GUID_NULL (a pin that takes any type)
// matches a specific query only without exact matching: an exact search for an MPEG audio
// encoder must not find the tee.
bool guidMatches(const GUID& have, const GUID& want, bool exact) {
  return want.isNull() || want == have || (have.isNull() && !exact);
}

bool typeMatches(const RegPinType& have, const RegPinType& want, bool exact) {
  return guidMatches(have.majortype, want.majortype, exact) && guidMatches(have.subtype, want.subtype, exact);
}

bool pinMatches(const RegFilterPin& pin, PIN_DIRECTION dir, const std::vector<RegPinType>& types,
                const GUID* category, bool exact) {
  if (pin.dir != dir) return false;
  if (category && !category->isNull() && pin.category != *category) return false;
  if (types.empty()) return true;
  for (const auto& want : types)
    for (const auto& have : pin.types)
      if (typeMatches(have, want, exact)) return true;
  return false;
}
}  // namespace

std::shared_ptr<IMoniker> FilterMapper::monikerFor(const FilterRegistration& r) const {
  auto create = r.create;
  return std::make_shared<FilterMoniker>(
      QStringLiteral("@filter:") + r.category.toString() + QLatin1Char('\\') + r.clsid.toString(), r.name,
      r.clsid, [create] { return create(); });
}

HRESULT FilterMapper::EnumMatchingFilters(std::shared_ptr<IEnumMoniker>& result, uint32_t, bool exactMatch,
                                          uint32_t merit, bool inputNeeded,
                                          const std::vector<RegPinType>& inputTypes, const GUID*,
                                          const GUID* inCategory, bool bRender, bool outputNeeded,
                                          const std::vector<RegPinType>& outputTypes, const GUID*,
                                          const GUID* outCategory) {
  std::vector<const FilterRegistration*> hits;
  std::vector<FilterRegistration> all = registrations();
  for (const auto& f : all) {
    if (f.merit < merit) continue;
    bool inOk = !inputNeeded, outOk = !outputNeeded, rendered = false;
    for (const auto& p : f.pins) {
      if (inputNeeded && pinMatches(p, PINDIR_INPUT, inputTypes, inCategory, exactMatch)) {
        inOk = true;
        rendered = rendered || p.rendered;
      }
      if (outputNeeded && pinMatches(p, PINDIR_OUTPUT, outputTypes, outCategory, exactMatch)) outOk = true;
    }
    if (!inOk || !outOk) continue;
    if (bRender && !rendered) continue;
    hits.push_back(&f);
  }
  std::stable_sort(hits.begin(), hits.end(), [](auto* a, auto* b) { return a->merit > b->merit; });
  std::vector<std::shared_ptr<IMoniker>> monikers;
  for (auto* f : hits) monikers.push_back(monikerFor(*f));
  result = std::make_shared<IEnumMoniker>(std::move(monikers));
  return S_OK;
}

}  // namespace vistrel::platform::media
