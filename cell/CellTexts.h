#pragma once
// Failure texts of the spreadsheet control (shown to the user by the command
// that called it).
#include <QString>

namespace cell::texts {

inline const QString kCannotCreate = QStringLiteral("无法创建Excel文件：%1（%2）");
inline const QString kCannotWrite = QStringLiteral("写入Excel文件失败：%1（%2）");
inline const QString kCannotClose = QStringLiteral("无法保存Excel文件：%1（%2）");
inline const QString kTooLarge = QStringLiteral("表格过大，无法导出为Excel文件");
inline const QString kTextTooLong = QStringLiteral("单元格文字过长，无法导出为Excel文件");
inline const QString kNoDefaultPrinter = QStringLiteral("没有默认打印机");
inline const QString kPrinterNotReady = QStringLiteral("打印机无法开始打印：%1");
inline const QString kPrintAborted = QStringLiteral("打印失败：%1");

}  // namespace cell::texts
