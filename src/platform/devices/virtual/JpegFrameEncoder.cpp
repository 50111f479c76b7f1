#include "platform/devices/virtual/JpegFrameEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace vistrel::platform::devices {

namespace {
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// libjpeg's own handler ends the process; this one returns to the frame's start.
[[noreturn]] void errorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void silence(j_common_ptr, int) {}

// Writes straight into the sample's buffer; a JPEG that does not fit is an error, not a larger
// buffer behind the caller's back.
struct Destination {
  jpeg_destination_mgr base;
  JOCTET* target = nullptr;
  size_t capacity = 0;
};
void initDestination(j_compress_ptr info) {
  auto* d = reinterpret_cast<Destination*>(info->dest);
  d->base.next_output_byte = d->target;
  d->base.free_in_buffer = d->capacity;
}
boolean bufferFull(j_compress_ptr info) {
  ERREXIT(info, JERR_BUFFER_SIZE);
  return FALSE;  // not reached: the error handler jumps
}
void termDestination(j_compress_ptr) {}
}  // namespace

struct JpegFrameEncoder::Impl {
  jpeg_compress_struct info{};
  ErrorManager error{};
  Destination destination{};
  std::vector<JSAMPROW> rows;
  int quality = 85;

  Impl() {
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = errorExit;
    error.base.emit_message = silence;
    jpeg_create_compress(&info);
    destination.base.init_destination = initDestination;
    destination.base.empty_output_buffer = bufferFull;
    destination.base.term_destination = termDestination;
    info.dest = &destination.base;
  }
  ~Impl() { jpeg_destroy_compress(&info); }

  // Plain C state only between setjmp and the end: no destructor is skipped by the jump.
  size_t compress(int width, int height) {
    if (setjmp(error.jump)) {
      jpeg_abort_compress(&info);
      return 0;
    }
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_IFAST;  // a camera favours speed; the difference is not visible
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height)
      jpeg_write_scanlines(&info, rows.data() + info.next_scanline, info.image_height - info.next_scanline);
    jpeg_finish_compress(&info);
    return destination.capacity - destination.base.free_in_buffer;
  }
};

JpegFrameEncoder::JpegFrameEncoder(int quality) : d_(std::make_unique<Impl>()) {
  d_->quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
}

JpegFrameEncoder::~JpegFrameEncoder() = default;

size_t JpegFrameEncoder::encode(const uint8_t* rgb, int width, int height, uint8_t* out, size_t capacity) {
  if (!rgb || !out || capacity == 0 || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION ||
      height > JPEG_MAX_DIMENSION)
    return 0;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
  d_->rows.resize(static_cast<size_t>(height));
  // The picture is stored bottom-up; a JPEG starts with its top row.
  for (int y = 0; y < height; ++y)
    d_->rows[static_cast<size_t>(y)] =
        const_cast<JSAMPROW>(rgb + static_cast<size_t>(height - 1 - y) * stride);
  d_->destination.target = out;
  d_->destination.capacity = capacity;
  return d_->compress(width, height);
}

}  // namespace vistrel::platform::devices
