#pragma once
// Result codes of the media layer. Values are those callers compare against; success codes are
// >= 0, and S_FALSE (1) is a success that says "nothing more" or "not present".

#include <QString>
#include <cstdint>

namespace vistrel::platform::media {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;

constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200);
constexpr HRESULT VFW_E_NEED_OWNER = static_cast<HRESULT>(0x80040202);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207);
constexpr HRESULT VFW_E_INVALID_DIRECTION = static_cast<HRESULT>(0x80040208);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209);
constexpr HRESULT VFW_E_NO_ALLOCATOR = static_cast<HRESULT>(0x8004020A);
constexpr HRESULT VFW_E_NOT_COMMITTED = static_cast<HRESULT>(0x80040211);
constexpr HRESULT VFW_E_SIZENOTSET = static_cast<HRESULT>(0x80040212);
constexpr HRESULT VFW_E_NO_CLOCK = static_cast<HRESULT>(0x80040213);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = static_cast<HRESULT>(0x8004020D);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x8004022A);
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = static_cast<HRESULT>(0x80040249);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025F);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217);
constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022E);
constexpr HRESULT VFW_E_DUPLICATE_NAME = static_cast<HRESULT>(0x8004026B);
constexpr HRESULT VFW_E_DEVICE_LOST = static_cast<HRESULT>(0x8004027D);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// A short English description of `hr`, cut to `maxChars` (the callers' buffers hold 255).
QString AMGetErrorText(HRESULT hr, int maxChars = 255);

}  // namespace vistrel::platform::media
