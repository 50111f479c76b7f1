// The overlay filter's graph face: identity, media types, buffers and the transform of samples.

#include "filters/Tvt_Superposer.h"

#include <gtest/gtest.h>

#include "filters/overlay/OverlayTestSupport.h"
#include "platform/media/MemAllocator.h"

namespace vistrel::filters {
namespace {

using namespace platform::media;

TEST(Tvt_Superposer, Identity) {
  auto filter = Tvt_Superposer::create();
  GUID clsid;
  EXPECT_EQ(filter->GetClassID(clsid), S_OK);
  EXPECT_EQ(clsid, makeGuid("{E97F14A9-9EB5-486F-8235-B29F93983433}"));
  EXPECT_EQ(filter->name(), QStringLiteral("Orbano vt_Superposer"));
  EXPECT_NE(filter->queryInterface<IPersist>(), nullptr);
  EXPECT_EQ(filter->pinCount(), 2);
}

TEST(Tvt_Superposer, AcceptsOnlyRgb24WithABitmapHeader) {
  auto filter = Tvt_Superposer::create();
  const MediaType rgb = MediaType::rgb24(720, 576, 400'000);
  EXPECT_EQ(filter->CheckInputType(rgb), S_OK);
  MediaType yuy2 =
      MediaType::video(makeGuid("{32595559-0000-0010-8000-00AA00389B71}"), 720, 576, 16, 0x32595559, 400'000);
  EXPECT_EQ(filter->CheckInputType(yuy2), VFW_E_TYPE_NOT_ACCEPTED);
  MediaType noFormat(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  EXPECT_EQ(filter->CheckInputType(noFormat), VFW_E_TYPE_NOT_ACCEPTED);
  MediaType audio = MediaType::pcm(48000, 2, 16);
  EXPECT_EQ(filter->CheckInputType(audio), VFW_E_TYPE_NOT_ACCEPTED);

  EXPECT_EQ(filter->CheckTransform(rgb, rgb), S_OK);
  EXPECT_EQ(filter->CheckTransform(rgb, yuy2), VFW_E_TYPE_NOT_ACCEPTED);
}

TEST(Tvt_Superposer, OutputTypePositions) {
  auto filter = Tvt_Superposer::create();
  MediaType type;
  EXPECT_EQ(filter->GetMediaType(-1, type), E_INVALIDARG);
  EXPECT_EQ(filter->GetMediaType(1, type), VFW_S_NO_MORE_ITEMS);
}

TEST(Tvt_Superposer, BuffersFollowTheInputAllocator) {
  auto filter = Tvt_Superposer::create();
  MemAllocator allocator;
  ALLOCATOR_PROPERTIES request;
  // No input allocator yet: at least one buffer of one byte.
  EXPECT_EQ(filter->DecideBufferSize(allocator, request), S_OK);
  ALLOCATOR_PROPERTIES got;
  allocator.GetProperties(got);
  EXPECT_GE(got.cBuffers, 1);
  EXPECT_GE(got.cbBuffer, 1);
}

TEST(Tvt_Superposer, TransformWritesTheOutputAndDropsShortSamples) {
  auto filter = Tvt_Superposer::create();
  const int w = 12, h = 6;
  const auto header = testing::rgbHeader(w, h);
  ASSERT_TRUE(filter->processing().StartStreaming(&header));
  filter->SetHorizontalFlip(true);

  const std::vector<uint8_t> frame = testing::patternFrame(w, h);
  auto in = MediaSample::create(static_cast<int32_t>(frame.size()));
  std::memcpy(in->data(), frame.data(), frame.size());
  in->SetActualDataLength(static_cast<int32_t>(frame.size()));
  REFERENCE_TIME start = 1000, stop = 401000;
  in->SetTime(&start, &stop);
  auto out = MediaSample::create(static_cast<int32_t>(frame.size()));
  out->copyPropertiesFrom(*in);
  ASSERT_EQ(filter->Transform(*in, *out), S_OK);
  EXPECT_EQ(out->GetActualDataLength(), static_cast<int32_t>(frame.size()));
  std::vector<uint8_t> result(out->data(), out->data() + frame.size());
  EXPECT_EQ(testing::pixelAt(result, w, h, 0, 2), testing::pixelAt(frame, w, h, w - 1, 2));

  in->SetActualDataLength(10);
  EXPECT_EQ(filter->Transform(*in, *out), S_FALSE);
}

}  // namespace
}  // namespace vistrel::filters
