#pragma once
// The text of a database session whose ODBC driver hands over bytes (a
// narrow, non-Unicode driver): statements are sent, and rows and messages
// read, in the session's client encoding, which such a driver passes through
// unconverted. Conversions go through iconv, but UTF-8's, which Qt does.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <string_view>

namespace platform::db {

class SessionText {
 public:
  // UTF-8, the client encoding of a session that sets none on a UTF-8 database.
  SessionText();
  ~SessionText();
  SessionText(SessionText&&) noexcept;
  SessionText& operator=(SessionText&&) noexcept;

  // The text of a session whose client_encoding is name ("UTF8", "GBK",
  // "LATIN1", case ignored; SQL_ASCII as UTF-8); null when iconv here has no
  // converter for it.
  static std::unique_ptr<SessionText> forClientEncoding(std::string_view name);

  // A character the encoding cannot hold becomes "?".
  QByteArray encode(QStringView text) const;
  // A byte sequence the encoding does not define becomes U+FFFD.
  QString decode(const char* bytes, qsizetype size) const;

 private:
  struct Converters;
  std::unique_ptr<Converters> iconv_;  // none for UTF-8
};

}  // namespace platform::db
