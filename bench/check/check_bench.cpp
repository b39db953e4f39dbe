// Benchmark: the check command's two phases on a generated database, beside
// psql sending statements to the same server, so the program's own overhead
// and the gain of its statements over the literal ones both show as ratios.
//
// Needs its own cluster and a generated database:
//   bash db/cluster.sh start /tmp/rc-bench 55515
//   bash db/cluster.sh createdb /tmp/rc-bench 55515 rc_bench_5000 5000
//   RC_TEST_PGPORT=55515 build/bench/check/check_bench rc_bench_5000 [formulas] [repeat] [driver]
//   bash db/cluster.sh stop /tmp/rc-bench
// driver: "unicode" (the default, {PostgreSQL Unicode}) or "ansi" ({PostgreSQL
// ANSI}, the narrow build, whose rows come as the client encoding's bytes).
// The cluster runs with fsync and synchronous_commit off; for the durable
// variant turn them on and restart before the run:
//   psql ... -c "ALTER SYSTEM SET fsync = on" -c "ALTER SYSTEM SET synchronous_commit = on"
//            -c "ALTER SYSTEM SET full_page_writes = on"; pg_ctl restart
//
// The database holds 2016 reports of every template for each organisation and
// the database's own rules; the bench adds a rule file of generated formulas
// (300 by default) beside the program, which the preparation imports, so that
// the formula statement has work to do. Then, repeat times (1 by default):
//   program  the check command's work: the run lock, TFmCheckEdit::PrepareCheckTables
//            and RunChecks (progress window and register fill included), per
//            phase and per statement kind
//   own      psql replaying the statements the program sent, from a file
//   literal  psql replaying the statements one row at a time as the check
//            was first written: every multi-row INSERT split into its
//            single-row INSERTs, no ANALYZE, no SET
// (psql's start-up time taken off). psql's time is the server's work on the
// statements plus psql's own: its round trips and its reading of the rows.
// Each figure is the best of the repetitions; a figure made of two (a ratio,
// the client's share: the program less psql's replay of the same statements)
// is computed within each repetition and then the best taken, so that it
// belongs to one run. Beside them: the program's CPU time and its time inside
// its statements in each phase; the peak resident memory; and the longest gap
// between two passes of the event loop during the check (the worst of the
// repetitions), beside the same gap less the longest single statement inside it.
#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "app/UCheckEdit.h"
#include "cell/TCell.h"
#include "check/RunLock.h"
#include "check/SqlText.h"
#include "platform/database.h"
#include "platform/qtext.h"
#include "tests/support/LoopPasses.h"
#include "tests/support/TestDatabase.h"

namespace {

const char* kPassword = "reportcheck";

long peakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int port() {
  const QByteArray p = qgetenv("RC_TEST_PGPORT");
  return p.isEmpty() ? 55433 : p.toInt();
}

void writeIni(const QString& dir, const QString& database, const QString& driver) {
  QFile f(dir + QStringLiteral("/statistics.ini"));
  if (!f.open(QIODevice::WriteOnly)) std::exit(2);
  const std::string text = "[ValidDataBase]\r\nDRIVER=" + driver.toStdString() + "\r\nServerName=127.0.0.1\r\n"
                           "Database=" + database.toStdString() + "\r\nLogId=ADMIN\r\nLogPassword=" +
                           ScrambleSetting(kPassword) + "\r\nPORT=" + std::to_string(port()) + "\r\n";
  f.write(text.data(), static_cast<qint64>(text.size()));
}

// Cells that every generated report carries (template, rows, columns).
struct Cells {
  const char* temId;
  int rows, cols;
};
const Cells kCells[] = {{"18000400", 19, 4}, {"18000700", 21, 2}, {"18000800", 4, 8}, {"18001500", 3, 7}};

// A rule file of count formulas, written as 2016XML/checkRuler_11.xml under
// dir so that the preparation imports it as it would the users' files. Most
// formulas hold almost everywhere (a <= a + b); one in ten compares two cells
// over one level of the tree.
void writeRuleFile(const QString& dir, int count) {
  QDir(dir).mkpath(QStringLiteral("2016XML"));
  QFile f(dir + QStringLiteral("/2016XML/checkRuler_11.xml"));
  if (!f.open(QIODevice::WriteOnly)) std::exit(2);
  unsigned seed = 20160101;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(n));
  };
  const char* describes[] = {"$D第%1条：左右两边应相等", "$D第%1条增幅为$V", "$D第%1条$V 比重大的要审核"};
  QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkplan name=\"bench\">\n");
  for (int i = 0; i < count; ++i) {
    const Cells& c = kCells[next(4)];
    const bool sharp = i % 10 == 0;
    xml += QStringLiteral("  <formula id=\"bench_%1\" type=\"%2\">\n    <content>%3</content>\n"
                          "    <control in=\"%4\" inrelate=\"%5\" out1=\"\" out2=\"\"/>\n"
                          "    <item operator=\"%6\" expression=\"2016\">\n")
               .arg(i)
               .arg(11 + i % 4)
               .arg(QString::fromUtf8(describes[i % 3]).arg(i), sharp ? "x" : "", sharp ? "10" : "99999",
                    sharp ? "2" : "1");
    const int a = 1 + next(c.rows), b = 1 + next(c.rows), col = 1 + next(c.cols);
    const struct {
      int side, row;
      bool always;
    } elements[] = {{0, a, true}, {1, a, !sharp}, {1, b, true}};  // a = b when sharp
    for (const auto& e : elements) {
      if (!e.always) continue;
      xml += QStringLiteral("      <element rptId=\"%1\" itype=\"%2\" rptDateB=\"20160101\" "
                            "rptDateE=\"20161231\" row=\"%3\" col=\"%4\" balance=\"1\"/>\n")
                 .arg(QLatin1String(c.temId))
                 .arg(e.side)
                 .arg(e.row)
                 .arg(col);
    }
    xml += QStringLiteral("    </item>\n  </formula>\n");
  }
  xml += QStringLiteral("</checkplan>\n");
  f.write(xml.toUtf8());
}

// What a statement is, for the break-down of the run.
enum Kind { Formula, Insert, Rule, Register, Tuning, Import, Other, Kinds };
const char* const kKindNames[Kinds] = {"formula statement and its rows", "problem INSERTs",
                                       "built-in rule statements and rows", "register fill",
                                       "ANALYZE and SET", "rule-file INSERTs", "other"};

Kind kindOf(const QString& sql) {
  if (sql.startsWith(QLatin1String("insert into TMP_CONTENT"))) return Insert;
  if (sql.startsWith(QLatin1String("SELECT I_CHECKTYPE"))) return Formula;
  if (sql.startsWith(QLatin1String("select * from TMP_CONTENT"))) return Register;
  if (sql.startsWith(QLatin1String("ANALYZE"), Qt::CaseInsensitive) ||
      sql.startsWith(QLatin1String("SET "), Qt::CaseInsensitive))
    return Tuning;
  if (sql.startsWith(QLatin1String("insert into TMP_FORMULA"))) return Import;
  if (sql.startsWith(QLatin1String("select"))) return Rule;
  return Other;
}

// The statements as first written: a multi-row INSERT becomes one INSERT per
// row (the values are quoted literals, so a parenthesis counts only outside
// quotes), ANALYZE and the session settings go.
QStringList literalStatements(const QStringList& statements) {
  QStringList out;
  for (const QString& sql : statements) {
    if (kindOf(sql) == Tuning) continue;
    const qsizetype values = sql.indexOf(QLatin1String(" values ("));
    if (kindOf(sql) != Insert || values < 0) {
      out << sql;
      continue;
    }
    const QString head = sql.left(values + 8);  // up to "values "
    bool quoted = false;
    qsizetype open = -1;
    for (qsizetype i = values + 8; i < sql.size(); ++i) {
      const QChar c = sql[i];
      if (c == QLatin1Char('\'')) quoted = !quoted;
      if (quoted) continue;
      if (c == QLatin1Char('(')) open = i;
      if (c == QLatin1Char(')') && open >= 0) {
        out << head + sql.mid(open, i - open + 1);
        open = -1;
      }
    }
  }
  return out;
}

struct Interval {
  double from = 0, to = 0;
  QString sql;
  double cpuFrom = 0;  // the program's CPU time when the statement was sent
};

struct Gap {
  double length = 0;     // between two passes
  double net = 0;        // less the longest single statement inside it
  QString longest;       // that statement, its start
  int statements = 0;    // statements started in the gap
};

// The gaps between consecutive passes (the check's start and end count as
// passes), each with the longest statement that overlaps it.
std::vector<Gap> loopGaps(std::vector<double> passes, double start, double end,
                          const std::vector<Interval>& statements) {
  passes.push_back(start);
  passes.push_back(end);
  std::sort(passes.begin(), passes.end());
  std::vector<Gap> gaps;
  size_t s = 0;
  for (size_t i = 1; i < passes.size(); ++i) {
    const double a = passes[i - 1], b = passes[i];
    if (b < start || a > end) continue;
    Gap g;
    g.length = b - a;
    double longest = 0;
    while (s < statements.size() && statements[s].to < a) ++s;
    for (size_t k = s; k < statements.size() && statements[k].from <= b; ++k) {
      const double overlap = std::min(b, statements[k].to) - std::max(a, statements[k].from);
      if (statements[k].from >= a) ++g.statements;
      if (overlap > longest) {
        longest = overlap;
        g.longest = statements[k].sql.left(40);
      }
    }
    g.net = g.length - longest;
    gaps.push_back(g);
  }
  return gaps;
}

struct Psql {
  double ms = 0;
  double kindMs[Kinds] = {};
};

// Runs a file of statements through psql with its per-statement timing on;
// returns the wall time and the statements' own times summed by kind.
Psql psql(const QString& database, const QString& file, const QStringList& statements) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PGPASSWORD", kPassword);
  env.insert("PGCLIENTENCODING", "UTF8");
  p.setProcessEnvironment(env);
  QElapsedTimer t;
  t.start();
  p.start("psql", {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(port()), "-U", "ADMIN", "-d",
                   database, "-v", "ON_ERROR_STOP=1", "-o", "/dev/null", "-c", "\\timing on", "-f", file});
  p.waitForFinished(-1);
  Psql out;
  out.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
  if (p.exitCode() != 0) {
    std::fprintf(stderr, "psql failed: %s\n", p.readAllStandardError().constData());
    std::exit(3);
  }
  static const QRegularExpression timing(QStringLiteral("^Time: ([0-9.]+) ms"),
                                         QRegularExpression::MultilineOption);
  const QString text = QString::fromUtf8(p.readAllStandardOutput());
  qsizetype n = 0;
  for (auto m = timing.globalMatch(text); m.hasNext(); ++n) {
    const double ms = m.next().captured(1).toDouble();
    if (n < statements.size()) out.kindMs[kindOf(statements[n])] += ms;
  }
  return out;
}

// Writes statements for psql. The program imports a rule file inside one
// transaction, which the statements it sends do not show: a run of rule-file
// INSERTs goes between BEGIN and COMMIT (psql times those two apart, as "other").
QString writeStatements(const QString& dir, const char* name, const QStringList& statements) {
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) std::exit(2);
  bool importing = false;
  for (const QString& s : statements) {
    const bool import = kindOf(s) == Import;
    if (import != importing) f.write(import ? "BEGIN;\n" : "COMMIT;\n");
    importing = import;
    f.write((s + QStringLiteral(";\n")).toUtf8());
  }
  if (importing) f.write("COMMIT;\n");
  return path;
}

// The statements as psql sends them from the file writeStatements makes.
QStringList asWritten(const QStringList& statements) {
  QStringList out;
  bool importing = false;
  for (const QString& s : statements) {
    const bool import = kindOf(s) == Import;
    if (import != importing) out << (import ? QStringLiteral("BEGIN") : QStringLiteral("COMMIT"));
    importing = import;
    out << s;
  }
  if (importing) out << QStringLiteral("COMMIT");
  return out;
}

double msSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// The CPU time the program has used, user and system: its own work, whatever
// the server and the machine's other load do meanwhile.
double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The figures of one repetition.
struct Figures {
  double prepare = 0, run = 0;
  double prepareCpu = 0, runCpu = 0;
  double kindMs[Kinds] = {};
  double kindCpuMs[Kinds] = {};
  double kindInMs[Kinds] = {};  // from sending each statement to its last row read
  int kindCount[Kinds] = {};
  Psql own[2], literal[2];  // prepare, run
  Gap longestGap, longestNetGap;
  qsizetype prepareStatements = 0, runStatements = 0, literalRunStatements = 0;
};

Figures measure(TFmCheckEdit& w, const QString& database, const QString& dir) {
  Figures f;
  platform::db::Connection& c = w.connection();
  QElapsedTimer clock;
  clock.start();
  std::vector<Interval> statements;
  c.setStatementObserver([&](const QString& sql) { statements.push_back({msSince(clock), 0, sql, cpuMs()}); });
  c.setStatementDoneObserver([&](const QString&) {
    if (!statements.empty()) statements.back().to = msSince(clock);
  });
  // Every 5 ms at most: a loop waiting for a statement is not kept spinning,
  // which would count as the program's CPU time.
  LoopPasses passes(clock, 5);

  const double prepareStart = msSince(clock);
  const double prepareCpuStart = cpuMs();
  // As the check command takes it: before the first statement on the working
  // tables, given back after the register is filled.
  std::optional<check::RunLock> lock(std::in_place, c);
  if (!lock->acquired()) {
    std::fprintf(stderr, "another program's check holds the working tables\n");
    std::exit(4);
  }
  w.PrepareCheckTables();
  const double prepareEnd = msSince(clock);
  f.prepare = prepareEnd - prepareStart;
  f.prepareCpu = cpuMs() - prepareCpuStart;
  const size_t prepareCount = statements.size();
  const double runStart = msSince(clock);
  const double runCpuStart = cpuMs();
  w.RunChecks();
  lock.reset();
  const double runEnd = msSince(clock);
  const double runCpuEnd = cpuMs();
  f.run = runEnd - runStart;
  f.runCpu = runCpuEnd - runCpuStart;
  c.setStatementObserver(nullptr);
  c.setStatementDoneObserver(nullptr);

  QStringList prepareSql, runSql;
  for (size_t i = 0; i < statements.size(); ++i) (i < prepareCount ? prepareSql : runSql) << statements[i].sql;
  // Each interval between two statements of the run is put down to the
  // earlier one (its round trip and the program's work on its rows).
  for (size_t i = prepareCount; i < statements.size(); ++i) {
    const Kind k = kindOf(statements[i].sql);
    const double next = i + 1 < statements.size() ? statements[i + 1].from : runEnd;
    f.kindMs[k] += next - statements[i].from;
    f.kindInMs[k] += statements[i].to - statements[i].from;
    f.kindCpuMs[k] += (i + 1 < statements.size() ? statements[i + 1].cpuFrom : runCpuEnd) - statements[i].cpuFrom;
    ++f.kindCount[k];
  }
  std::vector<Gap> gaps = loopGaps(passes.at, prepareStart, prepareEnd, statements);
  for (const Gap& g : loopGaps(passes.at, runStart, runEnd, statements)) gaps.push_back(g);
  for (const Gap& g : gaps) {
    if (g.length > f.longestGap.length) f.longestGap = g;
    if (g.net > f.longestNetGap.net) f.longestNetGap = g;
  }

  const QStringList literalPrepare = literalStatements(prepareSql);
  const QStringList literalRun = literalStatements(runSql);
  f.prepareStatements = prepareSql.size();
  f.runStatements = runSql.size();
  f.literalRunStatements = literalRun.size();
  const Psql startup = psql(database, writeStatements(dir, "empty.sql", {"SELECT 1"}), {"SELECT 1"});
  const auto replay = [&](Psql* into, const QStringList& prepare, const QStringList& run) {
    into[0] = psql(database, writeStatements(dir, "prepare.sql", prepare), asWritten(prepare));
    into[1] = psql(database, writeStatements(dir, "run.sql", run), asWritten(run));
    into[0].ms -= startup.ms;
    into[1].ms -= startup.ms;
  };
  // The program runs both phases in one session, psql in two: the session's
  // settings made while preparing go ahead of the run.
  QStringList ownRun;
  for (const QString& sql : prepareSql)
    if (kindOf(sql) == Tuning && sql.startsWith(QLatin1String("SET "), Qt::CaseInsensitive)) ownRun << sql;
  replay(f.own, prepareSql, ownRun + runSql);
  replay(f.literal, literalPrepare, literalRun);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("rc_bench");
  const int formulas = argc > 2 ? std::atoi(argv[2]) : 300;
  const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
  const bool ansi = argc > 4 && qstrcmp(argv[4], "ansi") == 0;
  const QString driver = ansi ? kAnsiDriver : kUnicodeDriver;

  QTemporaryDir dir;
  writeIni(dir.path(), database, driver);
  writeRuleFile(dir.path(), formulas);
  TFmCheckEdit w(dir.path());
  if (!w.dbConnected()) {
    std::fprintf(stderr, "no connection to %s on port %d\n", qPrintable(database), port());
    return 1;
  }
  w.show();

  // A first preparation leaves the working tables in place, as every check
  // after the first finds them.
  w.PrepareCheckTables();

  std::vector<Figures> runs;
  for (int r = 0; r < repeat; ++r) runs.push_back(measure(w, database, dir.path()));
  const long peak = peakKiB();

  platform::db::Query count(w.connection());
  count.setSql(QStringLiteral("SELECT COUNT(*) FROM D01"));
  count.open();
  const QString orgs = count.value(0);
  count.setSql(QStringLiteral("SELECT COUNT(*) FROM TMP_CONTENT"));
  count.open();
  const QString problems = count.value(0);

  // Best of the repetitions, figure by figure; a figure of two figures is
  // made within each repetition first.
  const auto best = [&runs](auto get) {
    double b = get(runs.front());
    for (const Figures& f : runs) b = std::min(b, get(f));
    return b;
  };
  const Figures& first = runs.front();
  std::printf("organisations %s, formulas %d, problem rows %s, driver %s, runs %d (best shown)\n", qPrintable(orgs),
              formulas, qPrintable(problems), qPrintable(driver), repeat);
  std::printf("statements: prepare %lld, run %lld (literal run %lld)\n",
              static_cast<long long>(first.prepareStatements), static_cast<long long>(first.runStatements),
              static_cast<long long>(first.literalRunStatements));
  std::printf("%-8s %11s %15s %18s %16s %20s\n", "phase", "program ms", "psql replay ms", "psql literal ms",
              "program/replay", "program/literal");
  const char* phases[] = {"prepare", "run", "total"};
  for (int ph = 0; ph < 3; ++ph) {
    const auto prog = [ph](const Figures& f) { return ph == 0 ? f.prepare : ph == 1 ? f.run : f.prepare + f.run; };
    const auto own = [ph](const Figures& f) { return ph < 2 ? f.own[ph].ms : f.own[0].ms + f.own[1].ms; };
    const auto lit = [ph](const Figures& f) { return ph < 2 ? f.literal[ph].ms : f.literal[0].ms + f.literal[1].ms; };
    std::printf("%-8s %11.1f %15.1f %18.1f %16.2f %20.2f\n", phases[ph], best(prog), best(own), best(lit),
                best([&](const Figures& f) { return prog(f) / own(f); }),
                best([&](const Figures& f) { return prog(f) / lit(f); }));
  }
  // The client's share: what the program spends beyond psql's replay of the
  // same statements. The run's rows are worked between its statements, so a
  // row's text and the register's cells count to the statement before them.
  // The program's CPU time beside it is its own work measured without the
  // server: it hardly moves with the load.
  std::printf("client's share by phase (run: each statement to the next):\n");
  std::printf("  %-34s %13s %11s %15s %10s %9s %14s %16s %16s\n", "", "statements", "program ms", "psql replay ms",
              "client ms", "client %", "program CPU ms", "in statements ms", "psql literal ms");
  using Get = std::function<double(const Figures&)>;
  const auto clientLine = [&best](const char* name, long long count, const Get& prog, const Get& own, const Get& cpu,
                                  const Get& in, const Get& lit) {
    std::printf("  %-34s %13lld %11.1f %15.1f %10.1f %8.1f%% %14.1f %16.1f %16.1f\n", name, count, best(prog),
                best(own), best([&](const Figures& f) { return prog(f) - own(f); }),
                best([&](const Figures& f) { return prog(f) > 0 ? 100.0 * (prog(f) - own(f)) / prog(f) : 0.0; }),
                best(cpu), in ? best(in) : std::nan(""), best(lit));
  };
  clientLine("preparation", static_cast<long long>(first.prepareStatements), [](const Figures& f) { return f.prepare; },
             [](const Figures& f) { return f.own[0].ms; }, [](const Figures& f) { return f.prepareCpu; }, nullptr,
             [](const Figures& f) { return f.literal[0].ms; });
  for (int k = 0; k < Kinds; ++k) {
    if (first.kindCount[k] == 0 && first.literal[1].kindMs[k] == 0) continue;
    clientLine(kKindNames[k], first.kindCount[k], [k](const Figures& f) { return f.kindMs[k]; },
               [k](const Figures& f) { return f.own[1].kindMs[k]; }, [k](const Figures& f) { return f.kindCpuMs[k]; },
               [k](const Figures& f) { return f.kindInMs[k]; }, [k](const Figures& f) { return f.literal[1].kindMs[k]; });
  }
  clientLine("run (wall)", static_cast<long long>(first.runStatements), [](const Figures& f) { return f.run; },
             [](const Figures& f) { return f.own[1].ms; }, [](const Figures& f) { return f.runCpu; }, nullptr,
             [](const Figures& f) { return f.literal[1].ms; });
  Gap worst, worstNet;
  for (const Figures& f : runs) {
    if (f.longestGap.length > worst.length) worst = f.longestGap;
    if (f.longestNetGap.net > worstNet.net) worstNet = f.longestNetGap;
  }
  std::printf("longest gap between event-loop passes: %.1f ms (%d statements in it, longest \"%s\")\n",
              worst.length, worst.statements, qPrintable(worst.longest));
  std::printf("longest gap less its longest statement: %.1f ms (gap %.1f ms, %d statements, longest \"%s\")\n",
              worstNet.net, worstNet.length, worstNet.statements, qPrintable(worstNet.longest));
  std::printf("peak resident memory %ld KiB\n", peak);
  return 0;
}
