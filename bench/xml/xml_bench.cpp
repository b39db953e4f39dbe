// Load and save speed and load memory of our XML library against its peers:
// libxml2 (as it stands and with NOBLANKS) and pugixml. Every parser runs in a
// process of its own (the driver re-executes this binary), so each peak
// resident size is that parser's alone; each figure is the best of the runs.
//
//   xml_bench [--mb N] [--runs N] [--cases rule,utf8,attrs] [--parsers ours,pugixml,...]
//   xml_bench --one PARSER IN OUT      (one child run; prints its figures)
//   xml_bench --generate CASE PATH [MB] (writes a case's input, for profiling)
//
// Cases: "rule" a GBK rule-shaped file of N MB (default 20), "utf8" the same
// in UTF-8, "attrs" one tag with 80,000 attributes written a = "v".
// Load MB/s and the peak are per input byte, save MB/s per output byte; the
// peak is the child's peak resident size less its size before the load.
// "by index ms" (ours alone): every attribute of every node read by index,
// as a caller that walks a node's attributes does.
//
// Goals: load at least half pugixml's speed, peak at most 3x the file, save
// at least pugixml's speed.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "xml/Xml.h"

namespace {

// A rule file shaped like the program's: GBK (or UTF-8), CR LF, formulas with
// content, control, item and element children.
void generateRuleFile(const std::string& path, int64_t targetBytes, bool utf8) {
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
}

// One tag with many attributes, blanks around each "=".
void generateAttributeFile(const std::string& path, int count) {
  std::ofstream out(path, std::ios::binary);
  out << "<?xml version=\"1.0\"?>\n<root>\n<wide";
  for (int i = 0; i < count; ++i) out << " a" << i << " = \"v" << i << "\"";
  out << "/>\n</root>\n";
}

int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

long peakKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

struct Run {
  double load = 0;
  double save = 0;
  long memKb = 0;
  long nodes = 0;
  int64_t outBytes = 0;
  double index = 0;  // seconds; ours alone
};

// Children of the root's children, counted the way the rule import walks: the
// load cannot be optimised away, and the peers' counts can be compared.
long countOurs(const xml::TXmlDocument& doc) {
  long n = 0;
  const xml::TXmlNode* root = doc.RootElement();
  for (int i = 0; i < root->ChildCount(); ++i) n += 1 + root->ChildAt(i)->ChildCount();
  return n;
}

// Bytes of every attribute of the subtree, each read by its index.
size_t readByIndex(const xml::TXmlNode& node) {
  size_t bytes = 0;
  for (int i = 0; i < node.AttributeCount(); ++i) bytes += node.AttributePair(i).size();
  for (int c = 0; c < node.ChildCount(); ++c) bytes += readByIndex(*node.ChildAt(c));
  return bytes;
}

long countLibxml2(xmlDocPtr doc) {
  long n = 0;
  for (xmlNodePtr f = xmlDocGetRootElement(doc)->children; f != nullptr; f = f->next) {
    if (f->type != XML_ELEMENT_NODE) continue;
    ++n;
    for (xmlNodePtr c = f->children; c != nullptr; c = c->next) n += c->type == XML_ELEMENT_NODE;
  }
  return n;
}

long countPugi(const pugi::xml_document& doc) {
  long n = 0;
  for (pugi::xml_node f : doc.document_element().children()) {
    if (f.type() != pugi::node_element) continue;
    ++n;
    for (pugi::xml_node c : f.children()) n += c.type() == pugi::node_element;
  }
  return n;
}

// One parser on one file: load (timed), count, save (timed).
bool runOne(const std::string& parser, const std::string& in, const std::string& out, Run& r) {
  const long base = residentKb();
  if (parser == "ours") {
    xml::TXmlDocument doc;
    auto t0 = Clock::now();
    doc.LoadFromFile(in);
    r.load = since(t0);
    r.memKb = peakKb() - base;
    r.nodes = countOurs(doc);
    t0 = Clock::now();
    if (readByIndex(*doc.RootElement()) == 0) return false;
    r.index = since(t0);
    t0 = Clock::now();
    doc.SaveToFile(out);
    r.save = since(t0);
  } else if (parser == "libxml2" || parser == "libxml2-noblanks") {
    const int options = XML_PARSE_NONET | XML_PARSE_HUGE | (parser == "libxml2" ? 0 : XML_PARSE_NOBLANKS);
    auto t0 = Clock::now();
    xmlDocPtr doc = xmlReadFile(in.c_str(), nullptr, options);
    r.load = since(t0);
    if (doc == nullptr) return false;
    r.memKb = peakKb() - base;
    r.nodes = countLibxml2(doc);
    t0 = Clock::now();
    const bool saved = xmlSaveFile(out.c_str(), doc) >= 0;
    r.save = since(t0);
    xmlFreeDoc(doc);
    if (!saved) return false;
  } else if (parser == "pugixml") {
    pugi::xml_document doc;
    auto t0 = Clock::now();
    if (!doc.load_file(in.c_str())) return false;
    r.load = since(t0);
    r.memKb = peakKb() - base;
    r.nodes = countPugi(doc);
    t0 = Clock::now();
    if (!doc.save_file(out.c_str(), "", pugi::format_raw)) return false;
    r.save = since(t0);
  } else {
    return false;
  }
  r.outBytes = fileSize(out);
  std::remove(out.c_str());
  return true;
}

// Runs this binary again as a child for one parser; false when the child failed.
bool runChild(const std::string& self, const std::string& parser, const std::string& in, const std::string& out,
              Run& r) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    execl(self.c_str(), self.c_str(), "--one", parser.c_str(), in.c_str(), out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::istringstream line(text);
  line >> r.load >> r.save >> r.memKb >> r.nodes >> r.outBytes >> r.index;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !line.fail();
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    if (!item.empty()) out.push_back(item);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--one") == 0) {
    Run r;
    try {
      if (!runOne(argv[2], argv[3], argv[4], r)) return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[2], e.what());
      return 1;
    }
    std::printf("%.6f %.6f %ld %ld %lld %.6f\n", r.load, r.save, r.memKb, r.nodes, static_cast<long long>(r.outBytes),
                r.index);
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "--generate") == 0) {
    const std::string name = argv[2];
    if (name == "attrs")
      generateAttributeFile(argv[3], 80000);
    else
      generateRuleFile(argv[3], (argc > 4 ? std::atoll(argv[4]) : 20) * 1024 * 1024, name == "utf8");
    return 0;
  }
  int64_t megabytes = 20;
  int runs = 5;
  std::vector<std::string> cases = {"rule", "utf8", "attrs"};
  std::vector<std::string> parsers = {"ours", "pugixml", "libxml2", "libxml2-noblanks"};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--mb") megabytes = std::atoll(argv[i + 1]);
    else if (flag == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    else if (flag == "--cases") cases = splitList(argv[i + 1]);
    else if (flag == "--parsers") parsers = splitList(argv[i + 1]);
  }
  char self[4096];
  const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
  if (len <= 0) return 1;
  self[len] = '\0';
  const std::string stem = "/tmp/rc_xml_bench_" + std::to_string(getpid());
  int failures = 0;
  for (const std::string& name : cases) {
    const std::string in = stem + "_" + name + ".xml";
    const std::string out = stem + "_" + name + "_out.xml";
    if (name == "attrs")
      generateAttributeFile(in, 80000);
    else
      generateRuleFile(in, megabytes * 1024 * 1024, name == "utf8");
    const double mb = static_cast<double>(fileSize(in)) / (1024.0 * 1024.0);
    std::printf("%s (%.1f MB), best of %d, each parser in its own process\n", name.c_str(), mb, runs);
    std::printf("  %-17s %10s %10s %12s %8s %12s\n", "parser", "load MB/s", "save MB/s", "peak/file", "nodes",
                "by index ms");
    // Rounds go over all parsers in turn, so a busy spell of the machine
    // weighs on all of them alike.
    std::vector<Run> best(parsers.size());
    std::vector<bool> ok(parsers.size(), true);
    for (int k = 0; k < runs; ++k) {
      for (size_t p = 0; p < parsers.size(); ++p) {
        Run r;
        if (!ok[p] || !runChild(self, parsers[p], in, out, r)) {
          ok[p] = false;
          continue;
        }
        Run& b = best[p];
        if (k == 0 || r.load < b.load) b.load = r.load;
        if (k == 0 || r.save < b.save) b.save = r.save;
        if (k == 0 || r.memKb < b.memKb) b.memKb = r.memKb;
        if (k == 0 || r.index < b.index) b.index = r.index;
        b.nodes = r.nodes;
        b.outBytes = r.outBytes;
      }
    }
    double oursLoad = 0, oursSave = 0, pugiLoad = 0, pugiSave = 0;
    for (size_t p = 0; p < parsers.size(); ++p) {
      const std::string& parser = parsers[p];
      if (!ok[p]) {
        std::printf("  %-17s failed\n", parser.c_str());
        ++failures;
        continue;
      }
      const double loadRate = mb / best[p].load;
      const double saveRate = static_cast<double>(best[p].outBytes) / (1024.0 * 1024.0) / best[p].save;
      std::printf("  %-17s %10.1f %10.1f %11.2fx %8ld", parser.c_str(), loadRate, saveRate,
                  static_cast<double>(best[p].memKb) / 1024.0 / mb, best[p].nodes);
      if (parser == "ours")
        std::printf(" %12.1f\n", best[p].index * 1000);
      else
        std::printf(" %12s\n", "-");
      if (parser == "ours") oursLoad = loadRate, oursSave = saveRate;
      if (parser == "pugixml") pugiLoad = loadRate, pugiSave = saveRate;
    }
    if (oursLoad > 0 && pugiLoad > 0)
      std::printf("  ours/pugixml: load %.2fx (goal >= 0.5), save %.2fx (goal >= 1)\n", oursLoad / pugiLoad,
                  oursSave / pugiSave);
    std::printf("\n");
    std::remove(in.c_str());
  }
  return failures == 0 ? 0 : 1;
}
