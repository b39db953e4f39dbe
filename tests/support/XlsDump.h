#pragma once
// Exported workbooks as independent readers see them: tests/support/xls_dump.py
// (xlrd for cells and formats, olefile for the compound file, its own walk
// over the records xlrd leaves out) run on the file, its JSON handed back.
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <utility>

namespace xlsdump {

// Why the readers cannot run here (no python3 with xlrd and olefile); empty
// when they can. Tests skip with this text.
QString unavailable();

// The dump of a workbook; throws std::runtime_error with the readers' message
// when they cannot read it.
QJsonObject read(const QString& file);

// (row, column) -> text of every text cell of one worksheet of the dump.
std::map<std::pair<int, int>, QString> texts(const QJsonObject& sheet);
// (row, column) -> format (the "xfs" entry) of every written cell.
std::map<std::pair<int, int>, QJsonObject> formats(const QJsonObject& dump, const QJsonObject& sheet);

}  // namespace xlsdump
