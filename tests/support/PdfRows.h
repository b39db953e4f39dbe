#pragma once
// The rows of a table as a PDF shows them: the horizontal rules drawn across
// each page (found in poppler's raster of the page) and the words on it with
// their boxes (poppler's pdftotext -bbox-layout). A register rendered by
// another program is checked with it: every row's text must stay between the
// rules of its own row.
#include <QString>
#include <QStringList>

#include <vector>

namespace pdfrows {

struct Word {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points from the page's top left
  QString text;
};

struct Page {
  std::vector<Word> words;
  // y of every rule that runs across most of the page, top to bottom, points.
  std::vector<double> rules;
};

// Why the pages cannot be read here (poppler-utils missing); empty when they can.
QString unavailable();

// Every page of the PDF; workDir takes the rasters. Empty when poppler fails.
std::vector<Page> read(const QString& pdf, const QString& workDir);

// How far a word's box may reach past a rule, in points: the boxes are the
// faces' whole line boxes, a little taller than the lines they stand on, and
// a rule is drawn a fraction of a point wide.
inline constexpr double kTolerance = 1.0;

// How the rows of a table fail to hold their texts, one message a fault,
// empty when none does. Each page holds, between its first and last rule,
// bands: the header row's band (header, repeated on every page) and then the
// next rows, in order, one band a row. A row holds its text when the
// characters in its band are exactly those of its text (spaces aside, in any
// order) and no word of the band reaches past its rules by more than
// tolerance points. rows are the texts of each row's cells, joined.
QStringList overflows(const std::vector<Page>& pages, const QString& header, const QStringList& rows,
                      double tolerance = kTolerance);

}  // namespace pdfrows
