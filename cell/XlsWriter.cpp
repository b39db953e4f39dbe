#include "cell/XlsWriter.h"

#include <QHash>
#include <QSaveFile>
#include <QtEndian>

#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "cell/CellTexts.h"
#include "cell/CompoundFile.h"
#include "cell/Sheet.h"
#include "cell/CellError.h"

namespace cell {
namespace {

// Record identifiers.
enum : std::uint16_t {
  kBof = 0x0809,
  kEof = 0x000A,
  kCodepage = 0x0042,
  kWindow1 = 0x003D,
  kFont = 0x0031,
  kXf = 0x00E0,
  kStyle = 0x0293,
  kBoundSheet = 0x0085,
  kSst = 0x00FC,
  kContinue = 0x003C,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kDimensions = 0x0200,
  kRow = 0x0208,
  kLabelSst = 0x00FD,
  kBlank = 0x0201,
  kWindow2 = 0x023E,
  kMergedCells = 0x00E5,
};

constexpr int kMaxRecordBody = 8224;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr int kMaxCellText = 32767;  // characters in one cell
constexpr int kStyleXfCount = 15;  // XF 0..14 are style XFs, 15 the default cell XF
constexpr int kFirstCellXf = 16;
constexpr int kFirstOwnFont = 5;  // font index 4 does not exist in the format
constexpr int kMergesPerRecord = 1026;
constexpr int kRowsPerBlock = 32;
constexpr std::uint16_t kUnicodeCodepage = 1200;
constexpr std::uint8_t kChineseCharset = 0x86;
constexpr int kBlackColour = 8;
const QString kFontName = QStringLiteral("宋体");

class Bytes {
 public:
  void u8(unsigned v) { data.append(static_cast<char>(v & 0xFF)); }
  void u16(unsigned v) {
    u8(v);
    u8(v >> 8);
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void utf16(const QString& s) {
    for (QChar c : s) u16(c.unicode());
  }
  QByteArray data;
};

void record(QByteArray& out, std::uint16_t id, const QByteArray& body) {
  Bytes head;
  head.u16(id);
  head.u16(static_cast<unsigned>(body.size()));
  out.append(head.data);
  out.append(body);
}

// Row height in twips (1/1440 inch) from tenths of a millimetre, at most the
// 409.5 points a worksheet row can have.
unsigned rowTwips(int tenthsMm) {
  return static_cast<unsigned>(std::clamp(std::lround(tenthsMm * 1440.0 / 254.0), 0L, 8190L));
}

// Column width in 1/256 of the width of a digit (7 pixels at 96 dpi).
unsigned columnUnits(int tenthsMm) {
  const double pixels = tenthsMm * 96.0 / 254.0;
  return static_cast<unsigned>(std::clamp(std::lround(pixels / 7.0 * 256.0), 0L, 65535L));
}

// The cell format that becomes one XF record.
struct Format {
  int font = 0;
  HAlign h = HAlign::Left;
  VAlign v = VAlign::Centre;
  TextStyle style = TextStyle::Plain;
  bool left = false, top = false, right = false, bottom = false;
  auto key() const { return std::tuple(font, static_cast<int>(h), static_cast<int>(v), static_cast<int>(style), left, top, right, bottom); }
  bool operator<(const Format& o) const { return key() < o.key(); }
};

QByteArray fontRecord(double points) {
  Bytes b;
  b.u16(static_cast<unsigned>(std::lround(points * 20)));
  b.u16(0);       // no italic, strike-out
  b.u16(0x7FFF);  // automatic colour
  b.u16(400);     // normal weight
  b.u16(0);       // no super/subscript
  b.u8(0);        // no underline
  b.u8(0);        // family unknown
  b.u8(kChineseCharset);
  b.u8(0);
  b.u8(static_cast<unsigned>(kFontName.size()));
  b.u8(1);  // UTF-16
  b.utf16(kFontName);
  return b.data;
}

QByteArray xfRecord(const Format& f, bool styleXf) {
  Bytes b;
  b.u16(static_cast<unsigned>(f.font));
  b.u16(0);                             // General number format
  b.u16(styleXf ? 0xFFF5 : 0x0001);     // locked; style XFs have no parent
  unsigned align = 0;
  if (!styleXf) {
    align = f.h == HAlign::Left ? 1 : f.h == HAlign::Centre ? 2 : 3;
    if (f.style == TextStyle::Wrap) align |= 0x08;
    align |= (f.v == VAlign::Top ? 0u : f.v == VAlign::Centre ? 1u : 2u) << 4;
  } else {
    align = 0x20;  // bottom
  }
  b.u8(align);
  b.u8(0);                          // no rotation
  b.u8(0);                          // no indent
  b.u8(styleXf ? 0x00 : 0x78);      // font, alignment, lines and fill are this XF's own
  const unsigned thin = 1;
  std::uint32_t lines = 0;
  if (f.left) lines |= thin | (kBlackColour << 16);
  if (f.right) lines |= (thin << 4) | (kBlackColour << 23);
  if (f.top) lines |= thin << 8;
  if (f.bottom) lines |= thin << 12;
  b.u32(lines);
  std::uint32_t colours = 0;
  if (f.top) colours |= kBlackColour;
  if (f.bottom) colours |= kBlackColour << 7;
  b.u32(colours);
  b.u16(64 | (65 << 7));  // default pattern colours
  return b.data;
}

// Shared string table: SST and CONTINUE records. A string's header never
// splits; its characters may, and each CONTINUE that takes them starts again
// with the option byte.
QByteArray sstRecords(const std::vector<QString>& strings, std::uint32_t references) {
  QByteArray out;
  std::uint16_t id = kSst;
  Bytes cur;
  cur.u32(references);
  cur.u32(static_cast<std::uint32_t>(strings.size()));
  auto flush = [&] {
    record(out, id, cur.data);
    cur.data.clear();
    id = kContinue;
  };
  for (const QString& s : strings) {
    const int need = s.isEmpty() ? 3 : 5;
    if (cur.data.size() + need > kMaxRecordBody) flush();
    cur.u16(static_cast<unsigned>(s.size()));
    cur.u8(1);  // UTF-16
    qsizetype i = 0;
    while (i < s.size()) {
      qsizetype room = (kMaxRecordBody - cur.data.size()) / 2;
      if (room <= 0) {
        flush();
        cur.u8(1);
        room = (kMaxRecordBody - 1) / 2;
      }
      qsizetype n = std::min(room, s.size() - i);
      // Keep a surrogate pair in one record.
      if (n > 1 && i + n < s.size() && s.at(i + n - 1).isHighSurrogate()) --n;
      cur.utf16(s.mid(i, n));
      i += n;
    }
  }
  flush();
  return out;
}

class WorkbookBuilder {
 public:
  explicit WorkbookBuilder(const Sheet& sheet) : sheet_(sheet) {}

  QByteArray build() {
    const int rows = sheet_.rowCount() - 1;
    const int columns = sheet_.columnCount() - 1;
    if (rows > kMaxRows || columns > kMaxColumns) throw TCellError(texts::kTooLarge);
    collectCells(rows, columns);
    QByteArray globals = globalsStream();
    const QByteArray sheetStream = worksheetStream(rows, columns);
    put32At(globals, boundSheetOffsetAt_, static_cast<std::uint32_t>(globals.size()));
    return globals + sheetStream;
  }

 private:
  struct CellOut {
    int row;     // worksheet row
    int column;  // worksheet column
    int xf;
    int sst;  // -1 for a blank cell
  };

  static void put32At(QByteArray& b, qsizetype at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }

  int fontIndex(float points) {
    const int twentieths = static_cast<int>(std::lround(points * 20));
    auto it = fonts_.find(twentieths);
    if (it == fonts_.end()) it = fonts_.emplace(twentieths, kFirstOwnFont + static_cast<int>(fonts_.size())).first;
    return it->second;
  }

  int xfIndex(const Format& f) {
    auto it = formats_.find(f);
    if (it == formats_.end()) {
      it = formats_.emplace(f, kFirstCellXf + static_cast<int>(formatOrder_.size())).first;
      formatOrder_.push_back(f);
    }
    return it->second;
  }

  int sstIndex(const QString& s) {
    // The string table's length field has 16 bits, and a cell holds at most
    // 32,767 characters: a longer text would make a corrupt workbook.
    if (s.size() > kMaxCellText) throw TCellError(texts::kTextTooLong);
    ++references_;
    auto it = strings_.find(s);
    if (it == strings_.end()) {
      it = strings_.insert(s, static_cast<int>(stringOrder_.size()));
      stringOrder_.push_back(s);
    }
    return it.value();
  }

  // A cell is written when it has a text, a line, or lies in a merge (whose
  // cells carry the lines around the merged area).
  void collectCells(int rows, int columns) {
    for (int r = 1; r <= rows; ++r)
      for (int c = 1; c <= columns; ++c) {
        const QString text = sheet_.text(c, r);
        std::optional<Range> merged;
        if (const std::optional<Range> m = sheet_.mergeAt(c, r)) merged = sheet_.dataPart(*m);
        Format f;
        f.left = sheet_.border(c, r, Edge::Left) && !(merged && c > merged->column1);
        f.right = sheet_.border(c, r, Edge::Right) && !(merged && c < merged->column2);
        f.top = sheet_.border(c, r, Edge::Top) && !(merged && r > merged->row1);
        f.bottom = sheet_.border(c, r, Edge::Bottom) && !(merged && r < merged->row2);
        // Cells of a merge take the first cell's look.
        const int fc = merged ? merged->column1 : c;
        const int fr = merged ? merged->row1 : r;
        const bool hasText = !text.isEmpty() && !(merged && (c != fc || r != fr));
        if (!hasText && !merged && !f.left && !f.right && !f.top && !f.bottom) continue;
        f.font = fontIndex(sheet_.fontSize(fc, fr));
        f.h = sheet_.hAlign(fc, fr);
        f.v = sheet_.vAlign(fc, fr);
        f.style = sheet_.textStyle(fc, fr);
        cells_.push_back({r - 1, c - 1, xfIndex(f), hasText ? sstIndex(text) : -1});
      }
  }

  QByteArray globalsStream() {
    QByteArray out;
    record(out, kBof, bof(0x0005));
    Bytes cp;
    cp.u16(kUnicodeCodepage);
    record(out, kCodepage, cp.data);
    Bytes w1;
    for (unsigned v : {0u, 0u, 0x4000u, 0x2000u, 0x0038u, 0u, 0u, 1u, 0x0258u}) w1.u16(v);
    record(out, kWindow1, w1.data);

    // Fonts 0..3 are the workbook's defaults; ours follow from index 5.
    for (int i = 0; i < 4; ++i) record(out, kFont, fontRecord(Sheet::kDefaultFontSize));
    std::vector<int> byIndex(fonts_.size());
    for (const auto& [twentieths, index] : fonts_) byIndex[static_cast<std::size_t>(index - kFirstOwnFont)] = twentieths;
    for (int twentieths : byIndex) record(out, kFont, fontRecord(twentieths / 20.0));

    for (int i = 0; i < kStyleXfCount; ++i) {
      QByteArray xf = xfRecord(Format{}, true);
      if (i > 0) xf[9] = static_cast<char>(0xF4);  // ordinary style XFs keep their parent's attributes
      record(out, kXf, xf);
    }
    Format defaultCell;
    QByteArray cellXf = xfRecord(defaultCell, false);
    cellXf[6] = 0x20;  // bottom aligned, general
    cellXf[9] = 0;
    record(out, kXf, cellXf);
    for (const Format& f : formatOrder_) record(out, kXf, xfRecord(f, false));

    Bytes style;
    style.u16(0x8000);  // built-in style on XF 0
    style.u8(0);        // Normal
    style.u8(0xFF);
    record(out, kStyle, style.data);

    Bytes sheetEntry;
    sheetEntry.u32(0);  // offset of the worksheet, filled in when known
    sheetEntry.u8(0);   // visible
    sheetEntry.u8(0);   // worksheet
    const QString name = QStringLiteral("Sheet1");
    sheetEntry.u8(static_cast<unsigned>(name.size()));
    sheetEntry.u8(1);
    sheetEntry.utf16(name);
    boundSheetOffsetAt_ = out.size() + 4;
    record(out, kBoundSheet, sheetEntry.data);

    out.append(sstRecords(stringOrder_, references_));
    record(out, kEof, {});
    return out;
  }

  QByteArray worksheetStream(int rows, int columns) {
    QByteArray out;
    record(out, kBof, bof(0x0010));
    Bytes dcw;
    dcw.u16(8);
    record(out, kDefColWidth, dcw.data);
    for (int c = 1; c <= columns; ++c) {
      Bytes ci;
      ci.u16(static_cast<unsigned>(c - 1));
      ci.u16(static_cast<unsigned>(c - 1));
      ci.u16(columnUnits(sheet_.columnWidth(c)));
      ci.u16(15);
      ci.u16(0);
      ci.u16(0);
      record(out, kColInfo, ci.data);
    }
    Bytes dim;
    dim.u32(0);
    dim.u32(static_cast<std::uint32_t>(rows));
    dim.u16(0);
    dim.u16(static_cast<unsigned>(columns));
    dim.u16(0);
    record(out, kDimensions, dim.data);

    // Rows in blocks of 32, each block's ROW records before its cells.
    std::size_t next = 0;
    for (int first = 0; first < rows; first += kRowsPerBlock) {
      const int last = std::min(first + kRowsPerBlock, rows);
      for (int r = first; r < last; ++r) {
        Bytes row;
        row.u16(static_cast<unsigned>(r));
        row.u16(0);
        row.u16(static_cast<unsigned>(columns));
        row.u16(rowTwips(sheet_.rowHeight(r + 1)));
        row.u16(0);
        row.u16(0);
        row.u32(0x000F0140);  // height set by hand; default XF 15
        record(out, kRow, row.data);
      }
      for (; next < cells_.size() && cells_[next].row < last; ++next) {
        const CellOut& c = cells_[next];
        Bytes b;
        b.u16(static_cast<unsigned>(c.row));
        b.u16(static_cast<unsigned>(c.column));
        b.u16(static_cast<unsigned>(c.xf));
        if (c.sst >= 0) {
          b.u32(static_cast<std::uint32_t>(c.sst));
          record(out, kLabelSst, b.data);
        } else {
          record(out, kBlank, b.data);
        }
      }
    }

    Bytes w2;
    for (unsigned v : {0x06B6u, 0u, 0u, 64u, 0u, 0u, 0u}) w2.u16(v);
    w2.u32(0);
    record(out, kWindow2, w2.data);

    std::vector<Range> merges;
    for (const Range& m : sheet_.merges())
      if (const std::optional<Range> data = sheet_.dataPart(m)) merges.push_back(*data);
    for (std::size_t i = 0; i < merges.size(); i += kMergesPerRecord) {
      const std::size_t n = std::min<std::size_t>(kMergesPerRecord, merges.size() - i);
      Bytes mc;
      mc.u16(static_cast<unsigned>(n));
      for (std::size_t k = i; k < i + n; ++k) {
        mc.u16(static_cast<unsigned>(merges[k].row1 - 1));
        mc.u16(static_cast<unsigned>(merges[k].row2 - 1));
        mc.u16(static_cast<unsigned>(merges[k].column1 - 1));
        mc.u16(static_cast<unsigned>(merges[k].column2 - 1));
      }
      record(out, kMergedCells, mc.data);
    }
    record(out, kEof, {});
    return out;
  }

  static QByteArray bof(unsigned type) {
    Bytes b;
    b.u16(0x0600);  // BIFF8
    b.u16(type);
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(0x00000006);
    return b.data;
  }

  const Sheet& sheet_;
  std::map<int, int> fonts_;  // size in twentieths of a point -> font index
  std::map<Format, int> formats_;
  std::vector<Format> formatOrder_;
  QHash<QString, int> strings_;
  std::vector<QString> stringOrder_;
  std::uint32_t references_ = 0;
  std::vector<CellOut> cells_;
  qsizetype boundSheetOffsetAt_ = 0;
};

}  // namespace

QByteArray workbookStream(const Sheet& sheet) { return WorkbookBuilder(sheet).build(); }

void writeXls(const Sheet& sheet, const QString& fileName) {
  const QByteArray bytes = compoundFile(QStringLiteral("Workbook"), workbookStream(sheet));
  // The workbook appears under its name only once it is complete.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) throw TCellError(texts::kCannotCreate.arg(fileName, file.errorString()));
  if (file.write(bytes) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    throw TCellError(texts::kCannotWrite.arg(fileName, reason));
  }
  if (!file.commit()) throw TCellError(texts::kCannotClose.arg(fileName, file.errorString()));
}

}  // namespace cell
