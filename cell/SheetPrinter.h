#pragma once
// Printing of a sheet on A4 landscape: the data columns are scaled together to
// the page width, rows are split over pages, the print title rows head every
// page, and the page texts (&P page number, &S page count) stand at the foot.
// A row taller than a page runs on over as many pages as it needs; nothing is
// drawn in the band of the page texts.
#include <QString>

#include <vector>

class QPrinter;

namespace cell {

class Sheet;

class SheetPrinter {
 public:
  explicit SheetPrinter(const Sheet& sheet) : sheet_(sheet) {}

  // Prints on the system's default printer. Raises TCellError when there is
  // none or when it fails.
  void printToDefault() const;
  // Prints on the given printer (set to A4 landscape here). Raises TCellError
  // when the printer cannot start or fails, or when the print queue refuses
  // the job (CUPS's reason on a line of its own).
  void print(QPrinter& printer) const;

  // One printed page's body rows (title rows not included). The first row
  // may have begun on earlier pages: skip is how much of it (layout units)
  // they showed.
  struct Page {
    std::vector<int> rows;
    double skip = 0;
  };

  // The pages when a page holds bodyHeight layout units of rows under the
  // title rows. Every page takes at least one row; a row taller than
  // bodyHeight goes on over further pages, each showing the next bodyHeight
  // of it. A sheet without body rows gives one page without any.
  std::vector<Page> paginate(double bodyHeight) const;

  // A page text with &P and &S replaced.
  static QString pageText(const QString& pattern, int page, int pages);

 private:
  const Sheet& sheet_;
};

}  // namespace cell
