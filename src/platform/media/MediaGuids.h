#pragma once
// Identifiers of media types, format blocks, pin categories, device categories and class ids.
// Values that files, format blocks or peers depend on are the platform's public ones; the FOURCC
// family follows its "{fourcc-0000-0010-8000-00AA00389B71}" rule; the rest are our own values.

#include "platform/media/Guid.h"

namespace vistrel::platform::media {

// Major types.
constexpr GUID MEDIATYPE_Video = makeGuid("{73646976-0000-0010-8000-00AA00389B71}");
constexpr GUID MEDIATYPE_Audio = makeGuid("{73647561-0000-0010-8000-00AA00389B71}");
constexpr GUID MEDIATYPE_Interleaved = makeGuid("{73766169-0000-0010-8000-00AA00389B71}");
constexpr GUID MEDIATYPE_Stream = makeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID WMMEDIATYPE_Video = MEDIATYPE_Video;

// Subtypes.
constexpr GUID MEDIASUBTYPE_RGB24 = makeGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_RGB32 = makeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_WAVE = makeGuid("{E436EB8B-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_Avi = makeGuid("{E436EB88-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID MEDIASUBTYPE_Asf = makeGuid("{3DB80F90-9412-11D1-ADED-0000F8754B99}");
constexpr GUID MEDIASUBTYPE_dvsd = fourccGuid(makeFourcc('d', 'v', 's', 'd'));
constexpr GUID MEDIASUBTYPE_YUY2 = fourccGuid(makeFourcc('Y', 'U', 'Y', '2'));
constexpr GUID MEDIASUBTYPE_UYVY = fourccGuid(makeFourcc('U', 'Y', 'V', 'Y'));
constexpr GUID MEDIASUBTYPE_I420 = fourccGuid(makeFourcc('I', '4', '2', '0'));
constexpr GUID MEDIASUBTYPE_YV12 = fourccGuid(makeFourcc('Y', 'V', '1', '2'));
constexpr GUID MEDIASUBTYPE_NV12 = fourccGuid(makeFourcc('N', 'V', '1', '2'));
constexpr GUID MEDIASUBTYPE_MJPG = fourccGuid(makeFourcc('M', 'J', 'P', 'G'));
constexpr GUID MEDIASUBTYPE_PCM = fourccGuid(0x00000001);
constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload = fourccGuid(0x00000050);  // WAVE_FORMAT_MPEG
constexpr GUID MEDIASUBTYPE_MP3 = fourccGuid(0x00000055);

// Format types.
constexpr GUID FORMAT_None = makeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
constexpr GUID FORMAT_VideoInfo = makeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");
constexpr GUID FORMAT_WaveFormatEx = makeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");
constexpr GUID FORMAT_VideoInfo2 = makeGuid("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
constexpr GUID FORMAT_MPEGVideo = makeGuid("{05589F82-C356-11CE-BF01-00AA0055595A}");
constexpr GUID FORMAT_MPEG2Video = makeGuid("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
constexpr GUID FORMAT_DvInfo = makeGuid("{05589F84-C356-11CE-BF01-00AA0055595A}");

// Pin categories (read through IKsPropertySet with AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY).
constexpr GUID AMPROPSETID_Pin = makeGuid("{9B00F101-1567-11D1-B3F1-00AA003761C5}");
constexpr uint32_t AMPROPERTY_PIN_CATEGORY = 0;
constexpr GUID PIN_CATEGORY_CAPTURE = makeGuid("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
constexpr GUID PIN_CATEGORY_PREVIEW = makeGuid("{FB6C4282-0353-11D1-905F-0000C0CC16BA}");
constexpr GUID PIN_CATEGORY_ANALOGVIDEOIN = makeGuid("{FB6C4283-0353-11D1-905F-0000C0CC16BA}");
// FindInterface's "category": search only upstream of the start filter's input pins.
constexpr GUID LOOK_UPSTREAM_ONLY = makeGuid("{AC798BE0-98E3-11D1-B3F1-00AA003761C5}");
constexpr GUID LOOK_DOWNSTREAM_ONLY = makeGuid("{AC798BE1-98E3-11D1-B3F1-00AA003761C5}");

// Device categories of the system device enumerator.
constexpr GUID CLSID_VideoInputDeviceCategory = makeGuid("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
constexpr GUID CLSID_AudioInputDeviceCategory = makeGuid("{33D9A762-90C8-11D0-BD43-00A0C911CE86}");
constexpr GUID CLSID_VideoCompressorCategory = makeGuid("{33D9A760-90C8-11D0-BD43-00A0C911CE86}");
constexpr GUID CLSID_AudioCompressorCategory = makeGuid("{33D9A761-90C8-11D0-BD43-00A0C911CE86}");
constexpr GUID CLSID_LegacyAmFilterCategory = makeGuid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");
constexpr GUID AM_KSCATEGORY_CROSSBAR = makeGuid("{A799A801-A46D-11D0-A18C-00A02401DCD4}");
constexpr GUID AM_KSCATEGORY_TVTUNER = makeGuid("{A799A800-A46D-11D0-A18C-00A02401DCD4}");
constexpr GUID CLSID_AudioRendererCategory = makeGuid("{E0F158E1-CB04-11D0-BD4E-00A0C911CE86}");

// Class ids of the system objects and filters.
constexpr GUID CLSID_FilterGraph = makeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
constexpr GUID CLSID_CaptureGraphBuilder2 = makeGuid("{BF87B6E1-8C27-11D0-B3F0-00AA003761C5}");
constexpr GUID CLSID_FilterMapper2 = makeGuid("{CDA42200-BD88-11D0-BD4E-00A0C911CE86}");
constexpr GUID CLSID_SystemDeviceEnum = makeGuid("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");
constexpr GUID CLSID_InfTee = makeGuid("{F8388A40-D5BB-11D0-BE5A-0080C706568E}");
constexpr GUID CLSID_Colour = makeGuid("{1643E180-90F5-11CE-97D5-00AA0055595A}");
constexpr GUID CLSID_ACMWrapper = makeGuid("{6A08CF80-0E18-11CF-A24D-0020AFD79767}");
constexpr GUID CLSID_FileWriter = makeGuid("{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}");
constexpr GUID CLSID_NullRenderer = makeGuid("{C1F400A4-3F08-11D3-9F0B-006008039E37}");
constexpr GUID CLSID_SampleGrabber = makeGuid("{C1F400A0-3F08-11D3-9F0B-006008039E37}");
constexpr GUID CLSID_VideoRenderer = makeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");
constexpr GUID CLSID_DSoundRender = makeGuid("{79376820-07D0-11CF-A24D-0020AFD79767}");
constexpr GUID CLSID_AviDest = makeGuid("{E2510970-F137-11CE-8B67-00AA00A3F1A6}");
constexpr GUID CLSID_WMAsfWriter = makeGuid("{7C23220E-55BB-11D3-8B16-00C04FB6BD3D}");
// Our virtual devices.
constexpr GUID CLSID_VirtualTestCamera = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0001}");
constexpr GUID CLSID_VirtualToneMicrophone = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0002}");

// Interface ids that are compared as data.
constexpr GUID IID_IPersist = makeGuid("{0000010C-0000-0000-C000-000000000046}");

}  // namespace vistrel::platform::media
