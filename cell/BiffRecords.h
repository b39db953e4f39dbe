#pragma once
// Little-endian BIFF records appended straight to one output buffer: the
// workbook writer's building block.
#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstring>

namespace cell::biff {

// A record body holds at most this many bytes; longer data continues in
// CONTINUE records.
inline constexpr int kMaxRecordBody = 8224;

class Out {
 public:
  explicit Out(QByteArray& data) : data_(data) {}

  // Starts a record; its length is filled in by end().
  void begin(std::uint16_t id) {
    u16(id);
    lengthAt_ = data_.size();
    u16(0);
  }
  void end() {
    qToLittleEndian(static_cast<std::uint16_t>(data_.size() - lengthAt_ - 2), data_.data() + lengthAt_);
  }
  // Bytes written so far in the current record's body.
  qsizetype bodySize() const { return data_.size() - lengthAt_ - 2; }
  qsizetype position() const { return data_.size(); }

  void u8(unsigned v) { data_.append(static_cast<char>(v & 0xFF)); }
  void u16(unsigned v) {
    char b[2];
    qToLittleEndian(static_cast<std::uint16_t>(v), b);
    data_.append(b, 2);
  }
  void u32(std::uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    data_.append(b, 4);
  }
  void f64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[8];
    qToLittleEndian(bits, b);
    data_.append(b, 8);
  }
  // UTF-16 code units, little-endian, no length.
  void utf16(QStringView s) {
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
      data_.append(reinterpret_cast<const char*>(s.utf16()), 2 * s.size());
    } else {
      for (QChar c : s) u16(c.unicode());
    }
  }
  // A string with a 16-bit length and an option byte (UTF-16 characters).
  void string16(QStringView s) {
    u16(static_cast<unsigned>(s.size()));
    u8(1);
    utf16(s);
  }
  // An empty record.
  void empty(std::uint16_t id) {
    begin(id);
    end();
  }

 private:
  QByteArray& data_;
  qsizetype lengthAt_ = 0;
};

}  // namespace cell::biff
