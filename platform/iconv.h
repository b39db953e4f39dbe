#pragma once
// An iconv conversion descriptor, closed when it goes; shared by the code
// page layer and the database session's text. No Qt.
#include <iconv.h>

namespace platform {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) ::iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  // False when iconv here cannot convert between the two encodings.
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace platform
