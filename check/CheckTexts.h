#pragma once
// The user texts the check engine itself produces, each written once.
#include <QString>

namespace check::texts {

inline const QString kParsingFormulas = QStringLiteral("正在解析校核公式");
inline const QString kChecking = QStringLiteral("正在进行校核...");
inline const QString kSqlFailed = QStringLiteral("SQL已异常: ");

// A run that stopped: where (one of the three below), then the cause.
inline const QString kRunFailedAt = QStringLiteral("校核失败，出错位置：%1");
inline const QString kWhereFormulaChecks = QStringLiteral("公式校核");
// The rule's number and its table label ("第7表").
inline const QString kWhereBuiltinRule = QStringLiteral("内置规则第%1条（%2）");
inline const QString kWhereRegister = QStringLiteral("填写登记表");

}  // namespace check::texts
