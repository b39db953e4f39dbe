#pragma once
// The program's user texts and fixed captions, each written once.
#include <QString>

namespace texts {

inline const QString kApplicationTitle = QStringLiteral("Quillmere");
inline const QString kMainCaption = QStringLiteral("Brindlemark单机版");
inline const QString kHint = QStringLiteral("提示");
inline const QString kDatabaseNotStarted = QStringLiteral("由于数据库未启动，程序无法使用！");
// Start-up without a GBK converter (iconv without CP936).
inline const QString kNoCodePage = QStringLiteral("无法加载GBK(CP936)字符集转换，程序无法使用！");
inline const QString kStarting = QStringLiteral("程序正在启动...");
inline const QString kInsertDone = QStringLiteral("插入完成！");
inline const QString kExportDone = QStringLiteral("导出完成！");
inline const QString kBadImportFormat = QStringLiteral("导入文件格式不对，无法导入");
inline const QString kImportFailed = QStringLiteral("导入失败，请重新导入！");
inline const QString kPrintFailed = QStringLiteral("打印出现异常，请检查打印机是否正常");
// A command ended by a lost connection; the driver's text follows on the next line.
inline const QString kConnectionLost = QStringLiteral("与报表数据库的连接已断开，操作已停止。");
// A command whose reopening of a lost connection failed; the driver's text follows.
inline const QString kReconnectFailed =
    QStringLiteral("与报表数据库的连接已断开，重新连接失败，请确认数据库已启动后再试。");
// A check or import while another program's run holds the working tables.
inline const QString kWorkingTablesInUse = QStringLiteral("其他用户正在使用校核工作表，请稍后再试。");

inline const QString kRegisterTitle = QStringLiteral("2016年党内统计年报表审核情况登记表");
inline const QString kHeaderTable = QStringLiteral("表号");
inline const QString kHeaderDescription = QStringLiteral("问题描述");
inline const QString kHeaderCategory = QStringLiteral("类别");
inline const QString kHeaderReply = QStringLiteral("回复情况");
inline const QString kSignature = QStringLiteral("审核人签名：                      ");
inline const QString kPageTexts = QStringLiteral("第&P页/共&S页");
inline const QString kSaveFilter = QStringLiteral("报表校核情况(.xls)|*.xls");
inline const QString kOpenFilter = QStringLiteral("报表校核计划文件(.xml)|*.xml");

}  // namespace texts
