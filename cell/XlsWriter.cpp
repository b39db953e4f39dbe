#include "cell/XlsWriter.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "cell/BiffRecords.h"
#include "cell/CellError.h"
#include "cell/CellTexts.h"
#include "cell/CompoundFile.h"
#include "cell/OfficeText.h"
#include "cell/PageSetup.h"
#include "cell/Sheet.h"
#include "cell/TextMeasure.h"
#include "platform/files.h"
#include "platform/fonts.h"

namespace cell {
namespace {

using biff::kMaxRecordBody;
using biff::Out;

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
  kSupBook = 0x01AE,
  kExternSheet = 0x0017,
  kName = 0x0018,
  kSst = 0x00FC,
  kExtSst = 0x00FF,
  kContinue = 0x003C,
  kWsBool = 0x0081,
  kHeader = 0x0014,
  kFooter = 0x0015,
  kLeftMargin = 0x0026,
  kRightMargin = 0x0027,
  kTopMargin = 0x0028,
  kBottomMargin = 0x0029,
  kSetup = 0x00A1,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kDimensions = 0x0200,
  kRow = 0x0208,
  kLabelSst = 0x00FD,
  kBlank = 0x0201,
  kWindow2 = 0x023E,
  kMergedCells = 0x00E5,
};

constexpr int kMaxRows = 65536;  // of one worksheet
constexpr int kMaxColumns = 256;
constexpr int kMaxCellText = 32767;  // characters in one cell
constexpr int kStyleXfCount = 15;  // XF 0..14 are style XFs, 15 the default cell XF
constexpr int kFirstCellXf = 16;
constexpr int kFirstOwnFont = 5;  // font index 4 does not exist in the format
constexpr int kMergesPerRecord = 1026;
constexpr int kRowsPerBlock = 32;
constexpr int kMaxPageText = 255;  // characters of a header or footer
constexpr int kMaxExtSstBuckets = 128;
constexpr std::uint16_t kUnicodeCodepage = 1200;
constexpr std::uint8_t kChineseCharset = 0x86;
constexpr int kBlackColour = 8;
constexpr unsigned kPaperA4 = 9;
constexpr std::uint8_t kPrintTitlesName = 0x07;  // the built-in name Print_Titles
// ROW options with the default XF 15. A fixed row's height is marked as set
// by hand. A row fitted to wrapped text is not, so a reader that sizes rows
// itself may fit it again to the faces it draws in; as readers keep the
// height they are given (LibreOffice 7.4 does, whatever the flags), that
// height is the larger of the program's fit and the fit in the faces an
// office suite without 宋体 draws in.
constexpr std::uint32_t kRowFixed = 0x000F0140;
constexpr std::uint32_t kRowFitted = 0x000F0100;
const QString kFontName = QString::fromUtf8(platform::kSongFace);
// The workbook's default font sets the unit of column widths (the width of
// its digits): one whose metrics spreadsheet programs everywhere agree on.
const QString kDefaultFontName = QStringLiteral("Arial");

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

double inches(double mm) { return mm / 25.4; }

// The cell format that becomes one XF record.
struct Format {
  int font = 0;
  HAlign h = HAlign::Left;
  VAlign v = VAlign::Centre;
  TextStyle style = TextStyle::Plain;
  bool left = false, top = false, right = false, bottom = false;
  auto key() const {
    return std::tuple(font, static_cast<int>(h), static_cast<int>(v), static_cast<int>(style), left, top, right,
                      bottom);
  }
  bool operator<(const Format& o) const { return key() < o.key(); }
};

void fontRecord(Out& out, double points, const QString& name = kFontName) {
  out.begin(kFont);
  out.u16(static_cast<unsigned>(twentieths(points)));
  out.u16(0);       // no italic, strike-out
  out.u16(0x7FFF);  // automatic colour
  out.u16(400);     // normal weight
  out.u16(0);       // no super/subscript
  out.u8(0);        // no underline
  out.u8(0);        // family unknown
  out.u8(name == kFontName ? kChineseCharset : 0);
  out.u8(0);
  out.u8(static_cast<unsigned>(name.size()));
  out.u8(1);  // UTF-16
  out.utf16(name);
  out.end();
}

enum class XfKind { Style, OrdinaryStyle, DefaultCell, Cell };

void xfRecord(Out& out, const Format& f, XfKind kind) {
  const bool styleXf = kind == XfKind::Style || kind == XfKind::OrdinaryStyle;
  out.begin(kXf);
  out.u16(static_cast<unsigned>(f.font));
  out.u16(0);                          // General number format
  out.u16(styleXf ? 0xFFF5 : 0x0001);  // locked; style XFs have no parent
  unsigned align = 0x20;               // bottom, general
  if (kind == XfKind::Cell) {
    align = f.h == HAlign::Left ? 1 : f.h == HAlign::Centre ? 2 : 3;
    if (f.style == TextStyle::Wrap) align |= 0x08;
    align |= (f.v == VAlign::Top ? 0u : f.v == VAlign::Centre ? 1u : 2u) << 4;
  }
  out.u8(align);
  out.u8(0);  // no rotation
  out.u8(0);  // no indent
  // Which attributes are this XF's own: a cell's font, alignment, lines and
  // fill; ordinary style XFs keep their parent's.
  out.u8(kind == XfKind::Cell ? 0x78 : kind == XfKind::OrdinaryStyle ? 0xF4 : 0x00);
  const unsigned thin = 1;
  std::uint32_t lines = 0;
  if (f.left) lines |= thin | (kBlackColour << 16);
  if (f.right) lines |= (thin << 4) | (kBlackColour << 23);
  if (f.top) lines |= thin << 8;
  if (f.bottom) lines |= thin << 12;
  out.u32(lines);
  std::uint32_t colours = 0;
  if (f.top) colours |= kBlackColour;
  if (f.bottom) colours |= kBlackColour << 7;
  out.u32(colours);
  out.u16(64 | (65 << 7));  // default pattern colours
  out.end();
}

// Where the strings of one EXTSST bucket start: stream position, and offset
// from the start (header included) of the SST or CONTINUE record holding it.
struct Bucket {
  std::uint32_t position;
  std::uint16_t offset;
};

// Shared string table: SST and CONTINUE records, then EXTSST. A string's
// header never splits; its characters may, and each CONTINUE that takes them
// starts again with the option byte. Every bucketSize-th string starts an
// EXTSST bucket.
void sstRecords(Out& out, const std::vector<QString>& strings, std::uint32_t references) {
  const auto count = static_cast<int>(strings.size());
  const int bucketSize = std::max(8, (count + kMaxExtSstBuckets - 1) / kMaxExtSstBuckets);
  std::vector<Bucket> buckets;
  out.begin(kSst);
  out.u32(references);
  out.u32(static_cast<std::uint32_t>(count));
  auto next = [&out] {
    out.end();
    out.begin(kContinue);
  };
  for (int k = 0; k < count; ++k) {
    const QString& s = strings[static_cast<std::size_t>(k)];
    const int need = s.isEmpty() ? 3 : 5;
    if (out.bodySize() + need > kMaxRecordBody) next();
    if (k % bucketSize == 0)
      buckets.push_back({static_cast<std::uint32_t>(out.position()), static_cast<std::uint16_t>(out.bodySize() + 4)});
    out.u16(static_cast<unsigned>(s.size()));
    out.u8(1);  // UTF-16
    qsizetype i = 0;
    while (i < s.size()) {
      qsizetype room = (kMaxRecordBody - out.bodySize()) / 2;
      if (room <= 0) {
        next();
        out.u8(1);
        room = (kMaxRecordBody - 1) / 2;
      }
      qsizetype n = std::min(room, s.size() - i);
      // Keep a surrogate pair in one record.
      if (n > 1 && i + n < s.size() && s.at(i + n - 1).isHighSurrogate()) --n;
      out.utf16(QStringView(s).mid(i, n));
      i += n;
    }
  }
  out.end();

  out.begin(kExtSst);
  out.u16(static_cast<unsigned>(bucketSize));
  for (const Bucket& b : buckets) {
    out.u32(b.position);
    out.u16(b.offset);
    out.u16(0);
  }
  out.end();
}

// A page text as a header or footer section: &P stays the page number, &S
// (the page count) becomes &N, and any other & is a literal one.
QString footerSection(const QString& code, const QString& pattern) {
  if (pattern.isEmpty()) return QString();
  QString out = code;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern.at(i);
    const QChar n = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
    if (c == u'&' && n == u'P') {
      out += QStringLiteral("&P");
      ++i;
    } else if (c == u'&' && n == u'S') {
      out += QStringLiteral("&N");
      ++i;
    } else if (c == u'&') {
      out += QStringLiteral("&&");
    } else {
      out += c;
    }
  }
  return out;
}

// Consecutive sheet rows, both ends inclusive.
struct Segment {
  int first;
  int last;
  int size() const { return last - first + 1; }
};

// One worksheet of the workbook: the sheet rows it holds, in order, and the
// worksheet rows of its print title rows.
struct Part {
  std::vector<Segment> segments;
  std::optional<std::pair<int, int>> titles;  // worksheet rows
  int rows() const {
    int n = 0;
    for (const Segment& s : segments) n += s.size();
    return n;
  }
};

// The sheet's rows over worksheets of at most kMaxRows rows: all on the
// first while they fit; past that each further worksheet starts with the
// print title rows and continues with the next rows.
std::vector<Part> splitRows(const Sheet& sheet) {
  const int rows = sheet.rowCount() - 1;
  std::optional<std::pair<int, int>> titles = sheet.printTitleRows();
  if (titles && titles->second - titles->first + 1 > kMaxRows / 2) titles.reset();
  std::vector<Part> parts(1);
  parts[0].segments.push_back({1, std::min(rows, kMaxRows)});
  if (rows < 1) parts[0].segments.clear();
  if (titles) parts[0].titles = std::make_pair(titles->first - 1, titles->second - 1);
  for (int next = kMaxRows + 1; next <= rows;) {
    Part part;
    int room = kMaxRows;
    if (titles) {
      part.segments.push_back({titles->first, titles->second});
      part.titles = std::make_pair(0, titles->second - titles->first);
      room -= titles->second - titles->first + 1;
    }
    const int last = std::min(rows, next + room - 1);
    part.segments.push_back({next, last});
    parts.push_back(std::move(part));
    next = last + 1;
  }
  return parts;
}

class WorkbookBuilder {
 public:
  explicit WorkbookBuilder(const Sheet& sheet) : sheet_(sheet), parts_(splitRows(sheet)), merges_(dataMerges(sheet)) {}

  QByteArray build() {
    const int columns = sheet_.columnCount() - 1;
    if (columns > kMaxColumns) throw TCellError(texts::kTooLarge);
    cells_.resize(parts_.size());
    for (std::size_t p = 0; p < parts_.size(); ++p) collectCells(parts_[p], columns, cells_[p]);

    QByteArray data;
    // Grown once, not doubled on the way: exporting 500,000 register rows
    // peaks at 443 MiB so, 506 MiB without (cell_bench 500000, "peak MiB").
    data.reserve(sizeEstimate());
    Out out(data);
    globals(out);
    for (std::size_t p = 0; p < parts_.size(); ++p) {
      qToLittleEndian(static_cast<std::uint32_t>(data.size()), data.data() + boundSheetOffsetAt_[p]);
      worksheet(out, p, columns);
      std::vector<CellOut>().swap(cells_[p]);
    }
    return data;
  }

 private:
  struct CellOut {
    int row;     // worksheet row
    int column;  // worksheet column
    int xf;
    int sst;  // -1 for a blank cell
  };

  // Bytes the workbook stream will take, a little more rather than less.
  qsizetype sizeEstimate() const {
    qsizetype bytes = 16384;  // globals and each worksheet's fixed records
    for (const QString& s : stringOrder_) bytes += 2 * s.size() + 3;
    bytes += bytes / kMaxRecordBody * 5;  // CONTINUE headers
    for (std::size_t p = 0; p < parts_.size(); ++p)
      bytes += 4096 + 20 * static_cast<qsizetype>(parts_[p].rows()) + 14 * static_cast<qsizetype>(cells_[p].size());
    bytes += 8 * static_cast<qsizetype>(merges_.size() * parts_.size());
    return bytes + bytes / 64;
  }

  int fontIndex(float points) {
    const int size = twentieths(points);
    auto it = fonts_.find(size);
    if (it == fonts_.end()) it = fonts_.emplace(size, kFirstOwnFont + static_cast<int>(fonts_.size())).first;
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

  // The data parts of the sheet's merges.
  static std::vector<Range> dataMerges(const Sheet& sheet) {
    std::vector<Range> out;
    for (const Range& m : sheet.merges())
      if (const std::optional<Range> data = sheet.dataPart(m)) out.push_back(*data);
    return out;
  }

  std::optional<Range> mergeOf(int column, int row) const {
    for (const Range& m : merges_)
      if (m.contains(column, row)) return m;
    return std::nullopt;
  }

  // A cell is written when it has a text, a line, or lies in a merge (whose
  // cells carry the lines around the merged area).
  void collectCells(const Part& part, int columns, std::vector<CellOut>& out) {
    int wsRow = 0;
    for (const Segment& seg : part.segments)
      for (int r = seg.first; r <= seg.last; ++r, ++wsRow)
        for (int c = 1; c <= columns; ++c) {
          const std::optional<Range> merged = mergeOf(c, r);
          Format f;
          f.left = sheet_.border(c, r, Edge::Left) && !(merged && c > merged->column1);
          f.right = sheet_.border(c, r, Edge::Right) && !(merged && c < merged->column2);
          f.top = sheet_.border(c, r, Edge::Top) && !(merged && r > merged->row1);
          f.bottom = sheet_.border(c, r, Edge::Bottom) && !(merged && r < merged->row2);
          // Cells of a merge take the first cell's look.
          const int fc = merged ? merged->column1 : c;
          const int fr = merged ? merged->row1 : r;
          const bool first = !merged || (c == fc && r == fr);
          const QString text = first ? sheet_.text(c, r) : QString();
          const bool hasText = !text.isEmpty();
          if (!hasText && !merged && !f.left && !f.right && !f.top && !f.bottom) continue;
          f.font = fontIndex(sheet_.fontSize(fc, fr));
          f.h = sheet_.hAlign(fc, fr);
          f.v = sheet_.vAlign(fc, fr);
          f.style = sheet_.textStyle(fc, fr);
          out.push_back({wsRow, c - 1, xfIndex(f), hasText ? sstIndex(text) : -1});
        }
  }

  void globals(Out& out) {
    bof(out, 0x0005);
    out.begin(kCodepage);
    out.u16(kUnicodeCodepage);
    out.end();
    out.begin(kWindow1);
    for (unsigned v : {0u, 0u, 0x4000u, 0x2000u, 0x0038u, 0u, 0u, 1u, 0x0258u}) out.u16(v);
    out.end();

    // Fonts 0..3 are the workbook's defaults; ours follow from index 5.
    for (int i = 0; i < 4; ++i) fontRecord(out, Sheet::kDefaultFontSize, kDefaultFontName);
    std::vector<int> byIndex(fonts_.size());
    for (const auto& [size, index] : fonts_) byIndex[static_cast<std::size_t>(index - kFirstOwnFont)] = size;
    for (int size : byIndex) fontRecord(out, size / 20.0);

    for (int i = 0; i < kStyleXfCount; ++i) xfRecord(out, Format{}, i == 0 ? XfKind::Style : XfKind::OrdinaryStyle);
    xfRecord(out, Format{}, XfKind::DefaultCell);
    for (const Format& f : formatOrder_) xfRecord(out, f, XfKind::Cell);

    out.begin(kStyle);
    out.u16(0x8000);  // built-in style on XF 0
    out.u8(0);        // Normal
    out.u8(0xFF);
    out.end();

    for (std::size_t p = 0; p < parts_.size(); ++p) {
      out.begin(kBoundSheet);
      boundSheetOffsetAt_.push_back(out.position());
      out.u32(0);  // offset of the worksheet, filled in when known
      out.u8(0);   // visible
      out.u8(0);   // worksheet
      const QString name = QStringLiteral("Sheet%1").arg(p + 1);
      out.u8(static_cast<unsigned>(name.size()));
      out.u8(1);
      out.utf16(name);
      out.end();
    }
    printTitleNames(out);

    sstRecords(out, stringOrder_, references_);
    out.empty(kEof);
  }

  // Print_Titles of each worksheet that has title rows: a name local to the
  // worksheet, whole rows, through a reference to the workbook itself.
  void printTitleNames(Out& out) {
    const auto count = static_cast<unsigned>(parts_.size());
    if (std::none_of(parts_.begin(), parts_.end(), [](const Part& p) { return p.titles.has_value(); })) return;
    out.begin(kSupBook);
    out.u16(count);
    out.u16(0x0401);  // this workbook
    out.end();
    out.begin(kExternSheet);
    out.u16(count);
    for (unsigned p = 0; p < count; ++p) {
      out.u16(0);  // the SUPBOOK above
      out.u16(p);
      out.u16(p);
    }
    out.end();
    for (unsigned p = 0; p < count; ++p) {
      const auto& titles = parts_[p].titles;
      if (!titles) continue;
      out.begin(kName);
      out.u16(0x0020);  // built-in
      out.u8(0);        // no key
      out.u8(1);        // name length
      out.u16(11);      // formula length
      out.u16(0);
      out.u16(p + 1);   // local to this worksheet
      out.u32(0);       // no menu, description, help or status texts
      out.u8(0);        // name in 8-bit characters
      out.u8(kPrintTitlesName);
      out.u8(0x3B);     // 3-D area reference
      out.u16(p);       // EXTERNSHEET entry
      out.u16(static_cast<unsigned>(titles->first));
      out.u16(static_cast<unsigned>(titles->second));
      out.u16(0);
      out.u16(kMaxColumns - 1);
      out.end();
    }
  }

  // Paper, orientation, margins, scale and page texts as the print command
  // sets them, so that a spreadsheet program prints the same pages.
  void pageSetup(Out& out) {
    out.begin(kWsBool);
    out.u16(0x05C1);  // defaults, and fitted to pages
    out.end();
    const PageTexts& t = sheet_.pageTexts();
    const QString footer = (footerSection(QStringLiteral("&L"), t.left) + footerSection(QStringLiteral("&C"), t.centre) +
                            footerSection(QStringLiteral("&R"), t.right))
                               .left(kMaxPageText);
    out.empty(kHeader);
    if (footer.isEmpty()) {
      out.empty(kFooter);
    } else {
      out.begin(kFooter);
      out.string16(footer);
      out.end();
    }
    const double margin = inches(page::kMarginMm);
    for (std::uint16_t id : {kLeftMargin, kRightMargin, kTopMargin}) {
      out.begin(id);
      out.f64(margin);
      out.end();
    }
    // The rows end above the footer band; the page texts stand in it.
    out.begin(kBottomMargin);
    out.f64(inches(page::kMarginMm + page::kFooterMm));
    out.end();

    out.begin(kSetup);
    out.u16(kPaperA4);
    // Fitting lets each program scale by its own measure of the column
    // widths (they count in digits of the default font). The print command's
    // percentage, rounded down to a whole one, is there for a user who turns
    // fitting off.
    const double percent = std::floor(page::columnScale(sheet_.dataWidth()) * 100);
    out.u16(static_cast<unsigned>(std::clamp(percent, 10.0, 400.0)));
    out.u16(1);       // first page number
    out.u16(1);       // one page wide
    out.u16(0);       // as many pages tall as it takes
    out.u16(0x0000);  // landscape; paper, scale and orientation are valid
    out.u16(600);     // resolution
    out.u16(600);
    out.f64(margin);  // header margin
    out.f64(margin);  // footer margin
    out.u16(1);       // copies
    out.end();
  }

  void worksheet(Out& out, std::size_t p, int columns) {
    const Part& part = parts_[p];
    const std::vector<CellOut>& cells = cells_[p];
    const int rows = part.rows();
    bof(out, 0x0010);
    pageSetup(out);
    out.begin(kDefColWidth);
    out.u16(8);
    out.end();
    for (int c = 1; c <= columns; ++c) {
      out.begin(kColInfo);
      out.u16(static_cast<unsigned>(c - 1));
      out.u16(static_cast<unsigned>(c - 1));
      out.u16(columnUnits(sheet_.columnWidth(c)));
      out.u16(15);
      out.u16(0);
      out.u16(0);
      out.end();
    }
    out.begin(kDimensions);
    out.u32(0);
    out.u32(static_cast<std::uint32_t>(rows));
    out.u16(0);
    out.u16(static_cast<unsigned>(columns));
    out.u16(0);
    out.end();

    // Sheet row of each worksheet row.
    std::vector<int> sheetRow;
    sheetRow.reserve(static_cast<std::size_t>(rows));
    for (const Segment& seg : part.segments)
      for (int r = seg.first; r <= seg.last; ++r) sheetRow.push_back(r);

    // Rows in blocks of 32, each block's ROW records before its cells.
    std::size_t next = 0;
    for (int first = 0; first < rows; first += kRowsPerBlock) {
      const int last = std::min(first + kRowsPerBlock, rows);
      for (int r = first; r < last; ++r) {
        const int row = sheetRow[static_cast<std::size_t>(r)];
        const bool refit = sheet_.heightFitted(row) && sheet_.wrapsText(row);
        out.begin(kRow);
        out.u16(static_cast<unsigned>(r));
        out.u16(0);
        out.u16(static_cast<unsigned>(columns));
        out.u16(rowTwips(refit ? std::max(sheet_.rowHeight(row), sheet_.fitRowHeight(row, officeTextHeight))
                               : sheet_.rowHeight(row)));
        out.u16(0);
        out.u16(0);
        out.u32(refit ? kRowFitted : kRowFixed);
        out.end();
      }
      for (; next < cells.size() && cells[next].row < last; ++next) {
        const CellOut& c = cells[next];
        out.begin(c.sst >= 0 ? kLabelSst : kBlank);
        out.u16(static_cast<unsigned>(c.row));
        out.u16(static_cast<unsigned>(c.column));
        out.u16(static_cast<unsigned>(c.xf));
        if (c.sst >= 0) out.u32(static_cast<std::uint32_t>(c.sst));
        out.end();
      }
    }

    out.begin(kWindow2);
    // Grid hidden, zeros shown, frozen panes none; the first worksheet is the
    // selected one.
    out.u16(p == 0 ? 0x06B6u : 0x04B6u);
    for (unsigned v : {0u, 0u, 64u, 0u, 0u, 0u}) out.u16(v);
    out.u32(0);
    out.end();

    // Merges that lie in this worksheet's rows; one that reaches across the
    // end of a worksheet is cut there.
    std::vector<Range> mine;
    int wsFirst = 0;
    for (const Segment& seg : part.segments) {
      for (const Range& m : merges_) {
        const int r1 = std::max(m.row1, seg.first);
        const int r2 = std::min(m.row2, seg.last);
        if (r1 > r2 || (r1 == r2 && m.column1 == m.column2)) continue;
        mine.push_back({m.column1, wsFirst + r1 - seg.first, m.column2, wsFirst + r2 - seg.first});
      }
      wsFirst += seg.size();
    }
    for (std::size_t i = 0; i < mine.size(); i += kMergesPerRecord) {
      const std::size_t n = std::min<std::size_t>(kMergesPerRecord, mine.size() - i);
      out.begin(kMergedCells);
      out.u16(static_cast<unsigned>(n));
      for (std::size_t k = i; k < i + n; ++k) {
        out.u16(static_cast<unsigned>(mine[k].row1));
        out.u16(static_cast<unsigned>(mine[k].row2));
        out.u16(static_cast<unsigned>(mine[k].column1 - 1));
        out.u16(static_cast<unsigned>(mine[k].column2 - 1));
      }
      out.end();
    }
    out.empty(kEof);
  }

  static void bof(Out& out, unsigned type) {
    out.begin(kBof);
    out.u16(0x0600);  // BIFF8
    out.u16(type);
    out.u16(0x0DBB);
    out.u16(0x07CC);
    out.u32(0);
    out.u32(0x00000006);
    out.end();
  }

  const Sheet& sheet_;
  const std::vector<Part> parts_;
  std::vector<std::vector<CellOut>> cells_;  // by worksheet
  const std::vector<Range> merges_;
  std::map<int, int> fonts_;  // size in twentieths of a point -> font index
  std::map<Format, int> formats_;
  std::vector<Format> formatOrder_;
  QHash<QString, int> strings_;
  std::vector<QString> stringOrder_;
  std::uint32_t references_ = 0;
  std::vector<qsizetype> boundSheetOffsetAt_;  // by worksheet
};

}  // namespace

QByteArray workbookStream(const Sheet& sheet) { return WorkbookBuilder(sheet).build(); }

void writeXls(const Sheet& sheet, const QString& fileName) {
  const QByteArray stream = workbookStream(sheet);
  // The workbook appears under its name only once it is complete, and only
  // in place of a regular file that may be written (never over a FIFO or a
  // device node). Unbuffered, so that a failing write reports the system's
  // reason (a full disk says so) instead of failing later in a flush.
  platform::files::ReplacingFile target(QFile::encodeName(fileName).toStdString());
  if (!target.open()) throw TCellError(texts::kCannotCreate.arg(fileName, QString::fromLocal8Bit(target.reason())));
  QFile file;
  if (!file.open(target.fd(), QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
    throw TCellError(texts::kCannotCreate.arg(fileName, file.errorString()));
  if (!writeCompoundFile(file, QStringLiteral("Workbook"), stream))
    throw TCellError(texts::kCannotWrite.arg(fileName, file.errorString()));
  file.close();
  if (!target.commit()) throw TCellError(texts::kCannotClose.arg(fileName, QString::fromLocal8Bit(target.reason())));
}

}  // namespace cell
