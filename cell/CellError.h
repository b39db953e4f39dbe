#pragma once
// Failure of a spreadsheet-control operation (export, printing). Both the
// control and its writers raise it; what() is UTF-8.
#include <QString>

#include <stdexcept>

class TCellError : public std::runtime_error {
 public:
  explicit TCellError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
