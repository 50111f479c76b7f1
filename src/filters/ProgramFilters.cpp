#include "filters/ProgramFilters.h"

#include "filters/TVT_Resizer.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_DVheader.h"
#include "filters/Tvt_SceneDetect.h"
#include "filters/Tvt_WaveDest.h"

namespace vistrel::filters {

using namespace platform::media;

namespace {

FilterRegistration registration(const GUID& clsid, const char* name, std::vector<RegPinType> in,
                                std::vector<RegPinType> out,
                                std::function<std::shared_ptr<IBaseFilter>()> create) {
  FilterRegistration r;
  r.clsid = clsid;
  r.name = QString::fromUtf8(name);
  r.merit = MERIT_DO_NOT_USE;
  r.pins.push_back(RegFilterPin{PINDIR_INPUT, false, std::move(in), GUID_NULL});
  r.pins.push_back(RegFilterPin{PINDIR_OUTPUT, false, std::move(out), GUID_NULL});
  r.create = std::move(create);
  return r;
}

}  // namespace

void RegisterProgramFilters(FilterMapper& mapper) {
  const std::vector<RegPinType> dv = {{MEDIATYPE_Interleaved, GUID_NULL},
                                      {MEDIATYPE_Video, MEDIASUBTYPE_dvsd}};
  const std::vector<RegPinType> rgb = {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}};
  const std::vector<RegPinType> any = {{GUID_NULL, GUID_NULL}};
  mapper.RegisterFilter(
      registration(CLSID_vt_Resizer, "Orbano Resizer", rgb, rgb, [] { return TVT_Resizer::create(); }));
  mapper.RegisterFilter(registration(CLSID_vt_SceneDetect, "Orbano vt_SceneDetect", dv, dv,
                                     [] { return Tvt_SceneDetect::create(); }));
  mapper.RegisterFilter(registration(CLSID_WavDest, "WavDest filter", {{MEDIATYPE_Audio, GUID_NULL}},
                                     {{MEDIATYPE_Stream, MEDIASUBTYPE_WAVE}},
                                     [] { return Tvt_WaveDest::create(); }));
  mapper.RegisterFilter(
      registration(CLSID_vt_DVHeader, "Orbano vt_DVHeader", dv, dv, [] { return Tvt_DVheader::create(); }));
  mapper.RegisterFilter(registration(CLSID_vt_ControlFilter, "Orbano vt_ControlFilter", any, any,
                                     [] { return Tvt_ControlFilter::create(); }));
}

}  // namespace vistrel::filters
