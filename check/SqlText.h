#pragma once
// Literal quoting and the organisation filter, shared by the formula check and
// the built-in rules. Every variable value enters a statement as a quoted
// text literal; no query parameters are used.
#include <QString>
#include <QStringList>

namespace check {

// Sent on every new session before anything else: quoteLiteral's literals
// treat a backslash as an ordinary character only under this setting, and a
// server (or database) may be configured with it off.
extern const QString kStandardStringsSql;

// The value in single quotes, each single quote inside doubled.
QString quoteLiteral(const QString& value);
// Appends quoteLiteral(value) to out without a text of its own in between.
void appendQuoted(QString& out, QStringView value);

// The quoted code list for two or more chosen codes: each code quoted and
// followed by ",", then '1' ("'A','B','1'" for A and B).
QString quotedCodeList(const QStringList& codes);

}  // namespace check
