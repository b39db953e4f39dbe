#include "app/Jpeg.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

// The error manager: libjpeg calls error_exit on every fatal error and must not
// return from it. We jump back to decodeJpeg's setjmp point; nothing with a
// destructor lives between the two frames (the decoder is plain C), and the
// owner below destroys the decompress object after the jump.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void errorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(err->jump, 1);
}

// Warnings (for instance a premature end of data, which libjpeg pads with
// grey) are turned into failures: a damaged picture is no picture.
void emitMessage(j_common_ptr info, int level) {
  if (level < 0) errorExit(info);
}

void outputMessage(j_common_ptr) {}

// Owns one decompress object for its lifetime.
class Decompressor {
 public:
  Decompressor() = default;
  ~Decompressor() {
    if (created_) jpeg_destroy_decompress(&info_);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  void create() {
    jpeg_create_decompress(&info_);
    created_ = true;
  }
  jpeg_decompress_struct& info() { return info_; }

 private:
  jpeg_decompress_struct info_{};
  bool created_ = false;
};

// The part that may longjmp. It holds no objects with destructors: the image
// is owned by the caller, rows are written straight into it.
bool decodeInto(Decompressor& d, ErrorManager& err, const QByteArray& data, QImage& out) {
  jpeg_decompress_struct& info = d.info();
  if (setjmp(err.jump)) return false;
  d.create();
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
  info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != (grey ? 1 : 3)) return false;
  out = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
               grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
  if (out.isNull()) return false;  // too large to allocate
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) return QImage();
  ErrorManager err{};
  Decompressor d;
  d.info().err = jpeg_std_error(&err.pub);
  err.pub.error_exit = errorExit;
  err.pub.emit_message = emitMessage;
  err.pub.output_message = outputMessage;
  QImage image;
  if (!decodeInto(d, err, data, image)) return QImage();
  return image;
}
