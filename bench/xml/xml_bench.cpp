// Rule-file load speed and memory: our library against libxml2 on the same
// generated file. Each load runs in its own child process so that its peak
// resident size (getrusage of the child) is its own.
//
//   xml_bench [MB] [path-stem]   (default 20 MB; files in /tmp, removed afterwards)
//
// The rule files are GB2312; a UTF-8 copy shows libxml2 without its code page conversion.
//
// Goals: at least half libxml2's speed; peak memory under 4x the file size.
#include <libxml/parser.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/codepage.h"
#include "xml/Xml.h"

namespace {

// A rule file shaped like the program's: GBK (or, for comparison, UTF-8),
// CR LF, formulas with content, control, item and element children.
int64_t generate(const std::string& path, int64_t targetBytes, bool utf8) {
  namespace cp = platform::codepage;
  auto text = [utf8](const char* s) { return utf8 ? std::string(s) : cp::utf8ToAnsi(s); };
  const std::string describe = text("党组织数应等于支部数加总支数，且党员人数 &amp; 预备党员不小于零");
  const std::string expression = text("本年");
  std::ofstream out(path, std::ios::binary);
  std::string head = std::string("<?xml version=\"1.0\" encoding=\"") + (utf8 ? "UTF-8" : "GB2312") +
                     "\"?>\r\n<checkplan name=\"" + text("党内统计") + "\">\r\n";
  out << head;
  int64_t written = static_cast<int64_t>(head.size());
  char buf[512];
  for (int f = 0; written < targetBytes; ++f) {
    std::string block;
    std::snprintf(buf, sizeof buf, "  <formula id=\"F%06d\" type=\"%d\">\r\n", f, f % 3);
    block += buf;
    block += "    <content>" + describe + "</content>\r\n";
    std::snprintf(buf, sizeof buf,
                  "    <control in=\"001.%03d\" inrelate=\"%s\" out1=\"001.%03d.002\" out2=\"\"/>\r\n", f % 1000,
                  f % 2 ? "" : "3", f % 1000);
    block += buf;
    std::snprintf(buf, sizeof buf, "    <item operator=\"%d\" expression=\"%s\">\r\n", f % 5, expression.c_str());
    block += buf;
    for (int e = 0; e < 6; ++e) {
      std::snprintf(buf, sizeof buf,
                    "      <element rptId=\"RPT%02d00\" itype=\"%d\" rptDateB=\"20160101\" rptDateE=\"20161231\" "
                    "row=\"%d\" col=\"%d\" balance=\"%d\"/>\r\n",
                    11 + e % 4, e % 2, 3 + e, 4 + e % 3, e == 5 ? -1 : 1);
      block += buf;
    }
    block += "    </item>\r\n  </formula>\r\n";
    out << block;
    written += static_cast<int64_t>(block.size());
  }
  out << "</checkplan>\r\n";
  return written + 14;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Walks the tree the way the rule import does, so the load is not optimised away.
long touchOurs(const xml::TXmlDocument& doc) {
  long n = 0;
  const xml::TXmlNode* root = doc.RootElement();
  for (int i = 0; i < root->ChildCount(); ++i) n += root->ChildAt(i)->ChildCount();
  return n;
}

struct Result {
  double seconds = 0;
  long baseKb = 0;
  long nodes = 0;
};

template <typename Load>
bool runInChild(Load load, Result& result, long& peakKb) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Result r;
    r.baseKb = residentKb();
    const auto t0 = std::chrono::steady_clock::now();
    r.nodes = load();
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  const bool ok = read(fds[0], &result, sizeof result) == sizeof result;
  close(fds[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  peakKb = usage.ru_maxrss;
  return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void report(const char* name, const Result& best, long peakKb, int64_t bytes) {
  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  const double usedMb = static_cast<double>(peakKb - best.baseKb) / 1024.0;
  std::printf("%-8s %8.1f MB/s  %7.3f s  peak %7.1f MB (%.2fx file)  nodes %ld\n", name, mb / best.seconds,
              best.seconds, usedMb, usedMb / mb, best.nodes);
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 20;
  const std::string base = argc > 2 ? argv[2] : "/tmp/rc_xml_bench_" + std::to_string(getpid());
  for (bool utf8 : {false, true}) {
    const std::string path = base + (utf8 ? "_utf8.xml" : "_gbk.xml");
    const int64_t bytes = generate(path, megabytes * 1024 * 1024, utf8);
    std::printf("%s file (%s): %.1f MB\n", utf8 ? "UTF-8" : "GB2312", path.c_str(),
                static_cast<double>(bytes) / (1024.0 * 1024.0));
    auto ours = [&] {
      xml::TXmlDocument doc;
      doc.LoadFromFile(path);
      return touchOurs(doc);
    };
    auto theirs = [&] {
      xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
      long n = 0;
      if (doc != nullptr) {
        for (xmlNodePtr f = xmlDocGetRootElement(doc)->children; f != nullptr; f = f->next) ++n;
        xmlFreeDoc(doc);
      }
      return n;
    };
    Result bestOurs, bestTheirs;
    long peakOurs = 0, peakTheirs = 0;
    for (int round = 0; round < 3; ++round) {
      Result r;
      long peak = 0;
      if (!runInChild(ours, r, peak)) return 1;
      if (round == 0 || r.seconds < bestOurs.seconds) bestOurs = r;
      peakOurs = std::max(peakOurs, peak);
      if (!runInChild(theirs, r, peak)) return 1;
      if (round == 0 || r.seconds < bestTheirs.seconds) bestTheirs = r;
      peakTheirs = std::max(peakTheirs, peak);
    }
    report("ours", bestOurs, peakOurs, bytes);
    report("libxml2", bestTheirs, peakTheirs, bytes);
    std::printf("speed ratio ours/libxml2: %.2f (goal >= 0.5)\n\n", bestTheirs.seconds / bestOurs.seconds);
    if (argc <= 2) std::remove(path.c_str());
  }
  return 0;
}
