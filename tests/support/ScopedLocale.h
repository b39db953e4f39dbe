#pragma once
// Sets Qt's default locale for one scope and puts the earlier one back on
// every way out, a failed assertion or an exception included.
#include <QLocale>

class ScopedDefaultLocale {
 public:
  explicit ScopedDefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
  ~ScopedDefaultLocale() { QLocale::setDefault(saved_); }
  ScopedDefaultLocale(const ScopedDefaultLocale&) = delete;
  ScopedDefaultLocale& operator=(const ScopedDefaultLocale&) = delete;

 private:
  QLocale saved_;  // the default before this scope
};
