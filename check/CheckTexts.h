#pragma once
// The user texts the check engine itself produces, each written once.
#include <QString>

namespace check::texts {

inline const QString kParsingFormulas = QStringLiteral("正在解析校核公式");
inline const QString kChecking = QStringLiteral("正在进行校核...");
inline const QString kSqlFailed = QStringLiteral("SQL已异常: ");

}  // namespace check::texts
