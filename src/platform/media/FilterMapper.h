#pragma once
// The filter mapper: every system and registered filter with its class id, name, merit, category
// and pin types, and the factory that makes it. Process-wide; the system filters are registered
// on first use. Thread-safe.

#include <functional>
#include <mutex>
#include <vector>

#include "platform/media/IMoniker.h"

namespace vistrel::platform::media {

constexpr uint32_t MERIT_PREFERRED = 0x800000;
constexpr uint32_t MERIT_NORMAL = 0x600000;
constexpr uint32_t MERIT_UNLIKELY = 0x400000;
constexpr uint32_t MERIT_DO_NOT_USE = 0x200000;
constexpr uint32_t MERIT_SW_COMPRESSOR = 0x100000;

struct RegPinType {
  GUID majortype;
  GUID subtype;  // GUID_NULL: any
};

struct RegFilterPin {
  PIN_DIRECTION dir = PINDIR_INPUT;
  bool rendered = false;  // an input that renders (renderer)
  std::vector<RegPinType> types;
  GUID category;
};

struct FilterRegistration {
  GUID clsid;
  QString name;
  uint32_t merit = MERIT_NORMAL;
  GUID category = CLSID_LegacyAmFilterCategory;
  std::vector<RegFilterPin> pins;
  std::function<std::shared_ptr<IBaseFilter>()> create;
};

class FilterMapper : public virtual Unknown {
 public:
  static std::shared_ptr<FilterMapper> instance();

  // Registers or replaces (same class id) a filter. A filter of another name taking a class id
  // that is already registered is a clash between two filters, kept in clashes().
  HRESULT RegisterFilter(FilterRegistration registration);
  // "<new name> replaced <old name>" for every such clash so far.
  std::vector<QString> clashes() const;
  HRESULT UnregisterFilter(const GUID& clsid);
  // A new instance of a registered filter; REGDB_E_CLASSNOTREG when unknown.
  HRESULT CreateInstance(const GUID& clsid, std::shared_ptr<IBaseFilter>& filter);
  std::vector<FilterRegistration> registrations(const GUID& category = GUID_NULL) const;

  // Filters whose merit is at least `merit`, with an input pin of one of `inputTypes` (when
  // inputNeeded) and an output pin of one of `outputTypes` (when outputNeeded). GUID_NULL in a
  // query type matches anything, also with exactMatch; bRender true asks for a rendered input.
  // Ordered by merit, then by registration. Always S_OK (an empty enumerator when none).
  HRESULT EnumMatchingFilters(std::shared_ptr<IEnumMoniker>& result, uint32_t flags, bool exactMatch,
                              uint32_t merit, bool inputNeeded, const std::vector<RegPinType>& inputTypes,
                              const GUID* inMedium, const GUID* inCategory, bool bRender, bool outputNeeded,
                              const std::vector<RegPinType>& outputTypes, const GUID* outMedium,
                              const GUID* outCategory);

  std::shared_ptr<IMoniker> monikerFor(const FilterRegistration& registration) const;

 private:
  FilterMapper() = default;
  mutable std::mutex lock_;
  std::vector<FilterRegistration> filters_;
  std::vector<QString> clashes_;
};

// Registers the system filters of src/platform/media/filters in the mapper (idempotent).
void registerSystemFilters(FilterMapper& mapper);

}  // namespace vistrel::platform::media
