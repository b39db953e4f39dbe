#include "cell/CompoundFile.h"

#include <QBuffer>
#include <QIODevice>
#include <QtEndian>

#include <cstdint>
#include <vector>

namespace cell {
namespace {

constexpr int kSectorSize = 512;
constexpr int kIdsPerSector = kSectorSize / 4;
constexpr int kHeaderDifatSlots = 109;
constexpr int kMiniStreamCutoff = 4096;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void put16(QByteArray& b, int at, std::uint16_t v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray& b, int at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }

// One 128-byte directory entry.
QByteArray directoryEntry(const QString& name, int type, std::uint32_t child, std::uint32_t start,
                          std::uint32_t size) {
  QByteArray e(128, '\0');
  put32(e, 68, kNoStream);  // left sibling
  put32(e, 72, kNoStream);  // right sibling
  put32(e, 76, kNoStream);  // child
  if (type == 0) return e;  // unused entry
  const QString n = name.left(31);
  for (int i = 0; i < n.size(); ++i) put16(e, 2 * i, n.at(i).unicode());
  put16(e, 64, static_cast<std::uint16_t>(2 * (n.size() + 1)));
  e[66] = static_cast<char>(type);
  e[67] = 1;  // black
  put32(e, 76, child);
  put32(e, 116, start);
  put32(e, 120, size);
  return e;
}

// Writes all of data, going on after a short write: a write that then fails
// leaves the system's reason in the device's error string.
bool writeAll(QIODevice& out, const char* data, qint64 size) {
  while (size > 0) {
    const qint64 n = out.write(data, size);
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool writeAll(QIODevice& out, const QByteArray& data) { return writeAll(out, data.constData(), data.size()); }

}  // namespace

bool writeCompoundFile(QIODevice& out, const QString& streamName, const QByteArray& stream) {
  const auto padded = std::max<qsizetype>(kMiniStreamCutoff, (stream.size() + kSectorSize - 1) / kSectorSize * kSectorSize);
  const auto dataSectors = static_cast<std::uint32_t>(padded / kSectorSize);

  // The FAT must map itself and the DIFAT sectors too.
  std::uint32_t fatSectors = 1;
  std::uint32_t difatSectors = 0;
  for (;;) {
    const std::uint32_t total = dataSectors + 1 + fatSectors + difatSectors;
    const std::uint32_t needFat = (total + kIdsPerSector - 1) / kIdsPerSector;
    const std::uint32_t needDifat =
        needFat > kHeaderDifatSlots ? (needFat - kHeaderDifatSlots + kIdsPerSector - 2) / (kIdsPerSector - 1) : 0;
    if (needFat == fatSectors && needDifat == difatSectors) break;
    fatSectors = needFat;
    difatSectors = needDifat;
  }
  const std::uint32_t dirSector = dataSectors;
  const std::uint32_t firstFat = dirSector + 1;
  const std::uint32_t firstDifat = firstFat + fatSectors;

  std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors) * kIdsPerSector, kFreeSector);
  for (std::uint32_t i = 0; i < dataSectors; ++i) fat[i] = i + 1 < dataSectors ? i + 1 : kEndOfChain;
  fat[dirSector] = kEndOfChain;
  for (std::uint32_t i = 0; i < fatSectors; ++i) fat[firstFat + i] = kFatSector;
  for (std::uint32_t i = 0; i < difatSectors; ++i) fat[firstDifat + i] = kDifatSector;

  QByteArray header(kSectorSize, '\0');
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  for (int i = 0; i < 8; ++i) header[i] = static_cast<char>(signature[i]);
  put16(header, 24, 0x003E);  // minor version
  put16(header, 26, 0x0003);  // major version 3
  put16(header, 28, 0xFFFE);  // little-endian
  put16(header, 30, 9);       // 512-byte sectors
  put16(header, 32, 6);       // 64-byte mini sectors
  put32(header, 44, fatSectors);
  put32(header, 48, dirSector);
  put32(header, 56, kMiniStreamCutoff);
  put32(header, 60, kEndOfChain);  // no mini FAT
  put32(header, 68, difatSectors ? firstDifat : kEndOfChain);
  put32(header, 72, difatSectors);
  for (std::uint32_t i = 0; i < kHeaderDifatSlots; ++i)
    put32(header, 76 + 4 * static_cast<int>(i), i < fatSectors ? firstFat + i : kFreeSector);

  if (!writeAll(out, header) || !writeAll(out, stream) || !writeAll(out, QByteArray(padded - stream.size(), '\0')))
    return false;

  QByteArray dir;
  dir.append(directoryEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0));
  dir.append(directoryEntry(streamName, 2, kNoStream, 0, static_cast<std::uint32_t>(padded)));
  dir.append(directoryEntry(QString(), 0, 0, 0, 0));
  dir.append(directoryEntry(QString(), 0, 0, 0, 0));
  if (!writeAll(out, dir)) return false;

  QByteArray fatBytes(static_cast<qsizetype>(fat.size()) * 4, '\0');
  for (std::size_t i = 0; i < fat.size(); ++i) put32(fatBytes, static_cast<int>(4 * i), fat[i]);
  if (!writeAll(out, fatBytes)) return false;

  // FAT sectors past the header's 109 are listed in DIFAT sectors, 127 each
  // and the next DIFAT sector's number last.
  for (std::uint32_t d = 0; d < difatSectors; ++d) {
    QByteArray sector(kSectorSize, '\0');
    for (int slot = 0; slot < kIdsPerSector - 1; ++slot) {
      const std::uint32_t index = kHeaderDifatSlots + d * (kIdsPerSector - 1) + static_cast<std::uint32_t>(slot);
      put32(sector, 4 * slot, index < fatSectors ? firstFat + index : kFreeSector);
    }
    put32(sector, kSectorSize - 4, d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
    if (!writeAll(out, sector)) return false;
  }
  return true;
}

QByteArray compoundFile(const QString& streamName, const QByteArray& stream) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  writeCompoundFile(buffer, streamName, stream);
  return bytes;
}

}  // namespace cell
