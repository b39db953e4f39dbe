#include "tests/cell/XlsReader.h"

#include <QtEndian>

#include <stdexcept>

namespace xlsread {
namespace {

std::uint32_t u32(const QByteArray& b, qsizetype at) {
  if (at < 0 || at + 4 > b.size()) throw std::runtime_error("read past the end");
  return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}

std::uint16_t u16(const QByteArray& b, qsizetype at) {
  if (at < 0 || at + 2 > b.size()) throw std::runtime_error("read past the end");
  return qFromLittleEndian<std::uint16_t>(b.constData() + at);
}

constexpr std::uint32_t kEnd = 0xFFFFFFFE;

// Strings of an SST record and its CONTINUE records: a string's characters
// may run on into the next record, which then starts with an option byte.
std::vector<QString> sharedStrings(const std::vector<QByteArray>& parts) {
  std::vector<QString> out;
  if (parts.empty()) return out;
  std::size_t part = 0;
  qsizetype at = 8;
  const std::uint32_t count = u32(parts[0], 4);
  while (out.size() < count) {
    if (at >= parts[part].size()) {
      if (++part >= parts.size()) throw std::runtime_error("SST ends early");
      at = 0;
    }
    const int cch = u16(parts[part], at);
    auto flags = static_cast<unsigned char>(parts[part].at(at + 2));
    at += 3;
    if (flags & 0x0C) throw std::runtime_error("rich or phonetic strings are not expected");
    QString s;
    while (s.size() < cch) {
      if (at >= parts[part].size()) {
        if (++part >= parts.size()) throw std::runtime_error("string runs past the SST");
        flags = static_cast<unsigned char>(parts[part].at(0));
        at = 1;
      }
      if (flags & 1) {
        s += QChar(u16(parts[part], at));
        at += 2;
      } else {
        s += QChar(static_cast<unsigned char>(parts[part].at(at)));
        at += 1;
      }
    }
    out.push_back(s);
  }
  return out;
}

}  // namespace

QByteArray stream(const QByteArray& file, const QString& name) {
  if (file.size() < 512 || u32(file, 0) != 0xE011CFD0u) throw std::runtime_error("not a compound file");
  auto sector = [&](std::uint32_t id) {
    const qsizetype at = 512 + static_cast<qsizetype>(id) * 512;
    if (at + 512 > file.size()) throw std::runtime_error("sector past the end");
    return file.mid(at, 512);
  };
  const std::uint32_t fatCount = u32(file, 44);
  std::vector<std::uint32_t> fatSectors;
  for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(u32(file, 76 + 4 * i));
  for (std::uint32_t d = u32(file, 68); fatSectors.size() < fatCount && d != kEnd;) {
    const QByteArray s = sector(d);
    for (int i = 0; i < 127 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(u32(s, 4 * i));
    d = u32(s, 508);
  }
  std::vector<std::uint32_t> fat;
  for (std::uint32_t id : fatSectors) {
    const QByteArray s = sector(id);
    for (int i = 0; i < 128; ++i) fat.push_back(u32(s, 4 * i));
  }
  auto chain = [&](std::uint32_t start) {
    QByteArray out;
    for (std::uint32_t id = start, steps = 0; id != kEnd; id = fat.at(id)) {
      if (++steps > fat.size()) throw std::runtime_error("FAT loop");
      out.append(sector(id));
    }
    return out;
  };
  const QByteArray dir = chain(u32(file, 48));
  for (qsizetype at = 0; at + 128 <= dir.size(); at += 128) {
    const int nameBytes = u16(dir, at + 64);
    if (nameBytes < 2) continue;
    const QString entry = QString::fromUtf16(reinterpret_cast<const char16_t*>(dir.constData() + at), nameBytes / 2 - 1);
    if (entry == name && dir[at + 66] == 2) return chain(u32(dir, at + 116)).left(u32(dir, at + 120));
  }
  throw std::runtime_error("no such stream");
}

std::vector<Record> records(const QByteArray& s) {
  std::vector<Record> out;
  int depth = 0;
  for (qsizetype at = 0; at + 4 <= s.size();) {
    const std::uint16_t id = u16(s, at);
    const std::uint16_t size = u16(s, at + 2);
    if (at + 4 + size > s.size()) throw std::runtime_error("record past the end");
    out.push_back({id, s.mid(at + 4, size)});
    at += 4 + size;
    if (id == 0x0809) ++depth;
    if (id == 0x000A && --depth == 0 && (at >= s.size() || u16(s, at) != 0x0809)) break;
  }
  return out;
}

Workbook decode(const QByteArray& file) {
  const QByteArray s = stream(file, QStringLiteral("Workbook"));
  Workbook wb;
  qsizetype at = 0;
  std::vector<QByteArray> sstParts;
  std::vector<std::pair<std::pair<int, int>, std::uint32_t>> labels;
  std::uint16_t previous = 0;
  for (const Record& r : records(s)) {
    if (r.id == 0x00FC || (r.id == 0x003C && (previous == 0x00FC || previous == 0x003C) && !sstParts.empty()))
      sstParts.push_back(r.body);
    if (r.id != 0x003C) previous = r.id;
    const QByteArray& b = r.body;
    switch (r.id) {
      case 0x0809: wb.bofOffsets.push_back(static_cast<int>(at)); break;
      case 0x0085: wb.sheetBofOffset = static_cast<int>(u32(b, 0)); break;
      case 0x0031:
        if (wb.fontTwips.size() == 4) wb.fontTwips.push_back(-1);
        wb.fontTwips.push_back(u16(b, 0));
        break;
      case 0x00E0: {
        Xf x;
        x.font = u16(b, 0);
        const auto align = static_cast<unsigned char>(b[6]);
        x.hAlign = align & 7;
        x.wrap = (align & 8) != 0;
        x.vAlign = (align >> 4) & 7;
        const std::uint32_t lines = u32(b, 10);
        x.left = (lines & 0xF) != 0;
        x.right = (lines & 0xF0) != 0;
        x.top = (lines & 0xF00) != 0;
        x.bottom = (lines & 0xF000) != 0;
        wb.xfs.push_back(x);
        break;
      }
      case 0x007D:
        for (int c = u16(b, 0); c <= u16(b, 2); ++c) wb.columnWidths[c] = u16(b, 4);
        break;
      case 0x0208: wb.rowTwips[u16(b, 0)] = u16(b, 6) & 0x7FFF; break;
      case 0x00FD:
        labels.push_back({{u16(b, 0), u16(b, 2)}, u32(b, 6)});
        wb.cellXf[{u16(b, 0), u16(b, 2)}] = u16(b, 4);
        break;
      case 0x0201: wb.cellXf[{u16(b, 0), u16(b, 2)}] = u16(b, 4); break;
      case 0x00E5:
        for (int i = 0; i < u16(b, 0); ++i)
          wb.merges.push_back({u16(b, 2 + 8 * i), u16(b, 4 + 8 * i), u16(b, 6 + 8 * i), u16(b, 8 + 8 * i)});
        break;
      default: break;
    }
    at += 4 + b.size();
  }
  wb.sst = sharedStrings(sstParts);
  for (const auto& [cellAt, index] : labels) wb.texts[cellAt] = wb.sst.at(index);
  return wb;
}

}  // namespace xlsread
