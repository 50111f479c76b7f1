#pragma once
// Identifiers of MPEG streams: elementary video, audio, program and system streams (the
// platform's public values).

#include "platform/media/Guid.h"

namespace vistrel::platform::media {

constexpr GUID MEDIASUBTYPE_MPEG1Packet = makeGuid("{E436EB80-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_MPEG1Payload = makeGuid("{E436EB81-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_MPEG1System = makeGuid("{E436EB84-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_MPEG1Video = makeGuid("{E436EB86-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_MPEG1Audio = makeGuid("{E436EB87-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = makeGuid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
constexpr GUID MEDIASUBTYPE_MPEG2_PROGRAM = makeGuid("{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}");
constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = makeGuid("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}");

}  // namespace vistrel::platform::media
