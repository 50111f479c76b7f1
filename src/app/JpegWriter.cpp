#include "app/JpegWriter.h"

#include <QSaveFile>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <jpeglib.h>
}

namespace vistrel::app {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// libjpeg's own handler ends the process; this one returns to the compression's start.
[[noreturn]] void errorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void silence(j_common_ptr, int) {}

// Plain C state only between setjmp and the end: no destructor is skipped by the jump.
bool compress(const QImage& rgb, int quality, unsigned char** out, unsigned long* size) {
  jpeg_compress_struct info;
  ErrorManager error;
  info.err = jpeg_std_error(&error.base);
  error.base.error_exit = errorExit;
  error.base.emit_message = silence;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(rgb.width());
  info.image_height = static_cast<JDIMENSION>(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

bool WriteJpeg(const QImage& picture, const QString& path, int quality) {
  if (picture.isNull()) return false;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  unsigned char* data = nullptr;
  unsigned long size = 0;
  const bool ok = compress(rgb, std::clamp(quality, 1, 100), &data, &size);
  bool written = false;
  if (ok && data) {
    QSaveFile file(path);
    written = file.open(QIODevice::WriteOnly) &&
              file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                  static_cast<qint64>(size) &&
              file.commit();
  }
  std::free(data);
  return written;
}

}  // namespace vistrel::app
