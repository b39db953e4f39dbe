#pragma once
// The compound file container of Excel 97-2003 workbooks: version 3, 512-byte
// sectors, one stream under the root storage.
#include <QByteArray>
#include <QString>

class QIODevice;

namespace cell {

// Writes a compound file holding the one stream to out, piece by piece
// (nothing is copied whole). A stream shorter than 4096 bytes is padded with
// zeros to that size, so that it lives in ordinary sectors (no mini stream is
// written); readers of workbooks stop at the end record. false when a write
// fails; out's error string then gives the system's reason.
bool writeCompoundFile(QIODevice& out, const QString& streamName, const QByteArray& stream);

// The same compound file in memory.
QByteArray compoundFile(const QString& streamName, const QByteArray& stream);

}  // namespace cell
