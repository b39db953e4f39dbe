#pragma once
// The compound file container of Excel 97-2003 workbooks: version 3, 512-byte
// sectors, one stream under the root storage.
#include <QByteArray>
#include <QString>

namespace cell {

// A compound file holding the one stream. A stream shorter than 4096 bytes is
// padded with zeros to that size, so that it lives in ordinary sectors (no
// mini stream is written); readers of workbooks stop at the end record.
QByteArray compoundFile(const QString& streamName, const QByteArray& stream);

}  // namespace cell
