#include "check/RuleImport.h"

#include <QFile>

#include <string>
#include <vector>

#include "check/SqlText.h"
#include "platform/qtext.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlText.h"

namespace ruleimport {

const QString kElementTemplatesSql = QStringLiteral(
    "SELECT RPTID  FROM RPTTEMPLATE WHERE TYPE ='1800' AND RPTID  LIKE '%00' order by rptid");
const QString kFormulaTemplatesSql = QStringLiteral(
    "SELECT RPTID FROM RPTTEMPLATE WHERE TYPE ='1800' AND RPTID  LIKE '%00' order by rptid");

namespace {

using check::quoteLiteral;

const QString kFormulaInsert = QStringLiteral(
    "insert into TMP_FORMULA (I_CHECKTYPE,S_FDESCRIBE,I_FRELATE,S_FSORT,S_FTMID,S_OSTINT,"
    "I_ORELATE,S_OEXCEPT1,S_OEXCEPT2,S_FID) values (");
const QString kElementInsert = QStringLiteral(
    "insert into TMP_FORMULAELEMENT(I_TYPE,I_LINE,S_BTIME,S_ETIME,S_TIME,I_BALANCE,S_TEMID,"
    "I_COL,I_ROW,S_FRMLID) values (");

// Reads a loaded document's texts as QString, in the form the load chose.
class Reader {
 public:
  explicit Reader(const xml::TXmlDocument& doc) : utf8_(doc.Utf8Mode) {}
  QString text(const std::string& bytes) const {
    return utf8_ ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                 : platform::fromAnsi(bytes);
  }
  QString attr(const xml::TXmlNode& node, const char* name) const {
    return text(node.AttributeValue(name));
  }

 private:
  bool utf8_;
};

const xml::TXmlNode& required(const xml::TXmlNode& formula, const char* name) {
  const xml::TXmlNode* node = formula.FindDescendant(name);
  if (!node)
    throw RuleFileError(std::string("rule file: a formula has no <") + name + "> element");
  return *node;
}

// The template ids of an empty rptId, in id order.
QStringList templateIds(platform::db::Query& qry, const QString& sql) {
  qry.close();
  qry.setSql(sql);
  qry.open();
  QStringList ids;
  for (; !qry.eof(); qry.next()) ids << qry.fieldByName(QStringLiteral("RPTID"));
  return ids;
}

}  // namespace

void importCheckPlan(const QString& path, platform::db::Query& qry, StatementLists lists,
                     const NewId& newId) {
  xml::TXmlDocument doc;
  doc.LoadFromFile(QFile::encodeName(path).toStdString());
  const xml::TXmlNode* root = doc.RootElement();
  if (!root) return;
  const Reader r(doc);

  int formulaSerial = 0;
  std::vector<xml::TXmlNode*> elements;
  for (int i = 0; i < root->ChildCount(); ++i) {
    const xml::TXmlNode& f = *root->ChildAt(i);
    const QString formulaKey = r.attr(f, "id") + QLatin1Char('_') + newId();
    QString formulaHead = kFormulaInsert + quoteLiteral(r.attr(f, "type"));
    formulaHead += QLatin1Char(',') + quoteLiteral(r.text(required(f, "content").TextValue()));

    const xml::TXmlNode& control = required(f, "control");
    const QString in = r.attr(control, "in");
    QString inRelate = r.attr(control, "inrelate");
    const QString out1 = r.attr(control, "out1");
    const QString out2 = r.attr(control, "out2");

    int rightLine = 0, leftLine = 0;
    const xml::TXmlNode& item = required(f, "item");
    const QString op = r.attr(item, "operator");
    const QString expression = r.attr(item, "expression");
    item.ChildrenByName("element", &elements);

    // The template id belongs to its formula: a formula without elements
    // takes none from the formula before it.
    QString templateId;
    for (size_t j = 0; j < elements.size(); ++j) {
      const xml::TXmlNode& e = *elements[j];
      const QString rptId = r.attr(e, "rptId");
      if (j == 0) templateId = rptId;
      const std::string itypeBytes = e.AttributeValue("itype");
      const int line = xml::ParseIntegerText(itypeBytes) > 0 ? rightLine++ : leftLine++;
      const QString elementHead =
          kElementInsert + quoteLiteral(r.text(itypeBytes)) + QLatin1Char(',') +
          quoteLiteral(QString::number(line)) + QLatin1Char(',') + quoteLiteral(r.attr(e, "rptDateB")) +
          QLatin1Char(',') + quoteLiteral(r.attr(e, "rptDateE")) + QLatin1Char(',') +
          quoteLiteral(expression) + QLatin1Char(',') + quoteLiteral(r.attr(e, "balance"));
      const QString cell = QLatin1Char(',') + quoteLiteral(r.attr(e, "col")) + QLatin1Char(',') +
                           quoteLiteral(r.attr(e, "row")) + QLatin1Char(',');
      if (!rptId.isEmpty()) {
        lists.elements << elementHead + QLatin1Char(',') + quoteLiteral(rptId) + cell +
                              quoteLiteral(formulaKey) + QLatin1Char(')');
      } else {
        const QStringList ids = templateIds(qry, kElementTemplatesSql);
        for (qsizetype n = 0; n < ids.size(); ++n)
          lists.elements << elementHead + QLatin1Char(',') + quoteLiteral(ids[n]) + cell +
                                quoteLiteral(formulaKey + QString::number(n)) + QLatin1Char(')');
      }
    }

    if (inRelate.isEmpty()) inRelate = QStringLiteral("99999");
    const QString scope = QLatin1Char(',') + quoteLiteral(in) + QLatin1Char(',') + quoteLiteral(inRelate) +
                          QLatin1Char(',') + quoteLiteral(out1) + QLatin1Char(',') + quoteLiteral(out2) +
                          QLatin1Char(',');
    if (!templateId.isEmpty()) {
      lists.formulas << formulaHead + QLatin1Char(',') + quoteLiteral(op) + QLatin1Char(',') +
                            quoteLiteral(QString::number(formulaSerial)) + QLatin1Char(',') +
                            quoteLiteral(templateId) + scope + quoteLiteral(formulaKey) + QLatin1Char(')');
    } else {
      const QStringList ids = templateIds(qry, kFormulaTemplatesSql);
      for (qsizetype n = 0; n < ids.size(); ++n) {
        lists.formulas << formulaHead + QLatin1Char(',') + quoteLiteral(op) + QLatin1Char(',') +
                              quoteLiteral(QString::number(formulaSerial)) + QLatin1Char(',') +
                              quoteLiteral(ids[n]) + scope + quoteLiteral(formulaKey + QString::number(n)) +
                              QLatin1Char(')');
        ++formulaSerial;
      }
    }
    ++formulaSerial;
  }
}

void runImportStatements(platform::db::Query& qry, StatementLists lists, QString* lastImportSql) {
  for (const QString& sql : std::as_const(lists.formulas)) {
    qry.close();
    qry.setSql(sql);
    if (lastImportSql) *lastImportSql = qry.sql() + QLatin1Char('\n');
    qry.execSql();
  }
  for (const QString& sql : std::as_const(lists.elements)) {
    qry.close();
    qry.setSql(sql);
    qry.execSql();
  }
  lists.formulas.clear();
  lists.elements.clear();
}

void importRuleFile(const QString& path, platform::db::Query& qry, StatementLists lists,
                    const NewId& newId, QString* lastImportSql) {
  try {
    importCheckPlan(path, qry, lists, newId);
    // A file goes into the working tables whole or not at all: a formula that
    // kept only the elements sent before a refusal would be checked wrongly.
    platform::db::Transaction transaction(qry.connection());
    runImportStatements(qry, lists, lastImportSql);
    transaction.commit();
  } catch (...) {
    lists.formulas.clear();
    lists.elements.clear();
    throw;
  }
}

}  // namespace ruleimport
