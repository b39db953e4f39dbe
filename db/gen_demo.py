#!/usr/bin/env python3
"""Demo data for the stand-in report database.

Writes SQL (COPY blocks, for psql) that fills the tables of schema.sql:
organisations in four levels, their 2016 reports of the eight templates that
the built-in rules read, and the database's own check rules. Deterministic:
the same size gives the same bytes. For each built-in rule some organisations
breach it and others pass; the first three organisations cover every rule both
ways, so even a tiny database shows every rule.

    gen_demo.py [--orgs N] [--out FILE]
"""
import argparse
import sys

PERIOD_2016 = ("20160101", "20161231")
PERIOD_2015 = ("20150101", "20151231")

# Templates that have reports, and the cells each report carries beside the
# cells the rules decide (rows x cols).
REPORT_TEMPLATES = {
    "18000400": (range(1, 20), range(1, 5)),
    "18000700": (range(1, 22), range(1, 3)),
    "18000800": (range(1, 5), range(1, 9)),
    "18001500": (range(1, 4), range(1, 8)),
    "18001600": (range(20, 22), range(1, 10)),
    "18001700": (list(range(1, 5)) + [15, 16], range(1, 3)),
    "18001800": ([4, 18, 21], range(1, 8)),
    "18001900": ([4, 16, 18], range(1, 8)),
}

# Built-in presence rules: rule number -> (trigger rows, check row), column 1 of 18000700.
PRESENCE = {1: ((3, 4, 5), 14), 2: ((6, 7, 8), 19), 3: ((9, 10, 11), 20), 4: ((12,), 21), 5: ((13,), 15)}
# Built-in equality rules: rule number -> column, rows 1 to 4 of 18000800.
EQUALITY = {6: 1, 7: 3, 8: 5, 9: 6, 10: 7, 11: 8}
# Built-in ratio rules with one numerator cell: rule -> (template, numerator (row, col), denominator (row, col)).
RATIO = {
    13: ("18001500", (1, 7), (1, 1)),
    19: ("18001700", (16, 1), (15, 1)),
    20: ("18001700", (16, 2), (15, 2)),
    21: ("18001800", (4, 7), (4, 1)),
    22: ("18001800", (18, 7), (18, 1)),
    23: ("18001800", (21, 5), (21, 1)),
    24: ("18001900", (4, 7), (4, 1)),
    25: ("18001900", (16, 7), (16, 1)),
    26: ("18001900", (18, 5), (18, 1)),
}
# Rules 14 to 18: numerator column of row 21 of 18001600, over the shared denominator (21, 1).
RATIO_16 = {14: 2, 15: 3, 16: 7, 17: 8, 18: 9}

PLACES = ["东川", "西山", "南湖", "北岭", "青河", "白石", "金水", "云台", "松江", "临泉",
          "长宁", "安平", "永和", "丰泽", "清源", "龙门", "凤城", "桃源", "梅岭", "柳江"]
DISTRICTS = ["城关", "河东", "河西", "新区", "高新", "开发", "湖滨", "山前", "江北", "港口"]
STREETS = ["人民路", "解放路", "建设路", "和平里", "胜利街", "文化路", "朝阳", "育才", "光明", "团结"]
UNITS = ["社区", "村", "机关", "学校", "医院", "公司", "工厂", "合作社", "支行", "研究所"]
DIGITS = "零一二三四五六七八九"


def chinese_number(n):
    """1..9999 in Chinese numerals (十一, 二十, 一百零五)."""
    if n < 10:
        return DIGITS[n]
    if n < 20:
        return "十" + (DIGITS[n % 10] if n % 10 else "")
    out, zero = "", False
    for value, unit in ((1000, "千"), (100, "百"), (10, "十"), (1, "")):
        d = n // value % 10
        if d:
            if zero and out:
                out += "零"
            out += DIGITS[d] + unit
            zero = False
        elif out:
            zero = True
    return out


def mix(*args):
    """A fixed 32-bit hash of small integers (no dependence on Python's hash seed)."""
    x = 0x2545F491
    for a in args:
        x = (x ^ (a & 0xFFFFFFFF)) * 0x9E3779B1 & 0xFFFFFFFF
        x ^= x >> 15
        x = x * 0x85EBCA77 & 0xFFFFFFFF
        x ^= x >> 13
    return x


def level_sizes(n):
    sizes = [max(1, n // 100), max(1, n * 6 // 100), max(1, n // 4)]
    sizes.append(max(0, n - sum(sizes)))
    out, left = [], n
    for s in sizes:
        out.append(min(s, left))
        left -= out[-1]
    widest = [out[0]] + [-(-out[k] // out[k - 1]) for k in range(1, 4) if out[k]]
    if max(widest) > 999:
        sys.exit("gen_demo.py: too many organisations for three-digit code segments")
    return out


def organisations(n):
    """(code, parent, name, useful) rows, parents before children."""
    rows, previous = [], []
    for level, size in enumerate(level_sizes(n)):
        current = []
        for j in range(size):
            if level == 0:
                code, parent = "%03d" % (j + 1), (None if j == 0 else "")
                place = PLACES[j % len(PLACES)]
                name = place + ("" if j < len(PLACES) else chinese_number(j // len(PLACES) + 1)) + "市委"
            else:
                p = previous[j % len(previous)]
                serial = j // len(previous) + 1
                code, parent = "%s.%03d" % (p[0], serial), p[0]
                if level == 1:
                    name = p[2][:-2] + DISTRICTS[serial % len(DISTRICTS)] + "区委"
                elif level == 2:
                    name = p[2][:-2] + STREETS[(serial + j) % len(STREETS)] + "街道党工委"
                else:
                    name = "%s%s%s党支部" % (p[2][:-5], chinese_number(serial), UNITS[mix(j, 7) % len(UNITS)])
            useful = "1" if level > 0 and mix(len(rows) + j, 13) % 13 == 0 else "0"
            current.append((code, parent, name, useful))
        rows.extend(current)
        previous = current
    return rows


def breaches(org, rule):
    """Whether organisation number org breaks (or, for a ratio rule, is listed by) the rule."""
    if org < 3:
        return (org + rule) % 3 == 0
    share = 30 if rule >= 12 else 15
    return mix(org, rule, 1) % 100 < share


def positive(org, tag, high=500):
    return str(1 + mix(org, tag, 2) % high)


def no_value(org, tag):
    """A cell that does not pass val > '0': 0, a negative number, or no cell at all."""
    return (None, "0", "-" + positive(org, tag, 9))[mix(org, tag, 3) % 3]


def report_cells(org, template):
    """{(row, col): text or None} of one 2016 report; None drops the cell."""
    rows, cols = REPORT_TEMPLATES[template]
    cells = {(r, c): str(mix(org, r, c, int(template)) % 200) for r in rows for c in cols}
    tag = lambda *a: int(template) % 10000 * 1000 + sum(x * 37 ** k for k, x in enumerate(a))

    if template == "18000700":
        for rule, (triggers, check) in PRESENCE.items():
            if breaches(org, rule):
                hit = triggers[mix(org, rule, 4) % len(triggers)]
                for t in triggers:
                    cells[(t, 1)] = ("00" if mix(org, rule, 5) % 7 == 0 else positive(org, tag(rule, t))) \
                        if t == hit else (positive(org, tag(rule, t)) if mix(org, t) % 2 else "0")
                cells[(check, 1)] = no_value(org, tag(rule, check))
            elif mix(org, rule, 6) % 2:
                for t in triggers:
                    cells[(t, 1)] = positive(org, tag(rule, t))
                cells[(check, 1)] = positive(org, tag(rule, check))
            else:
                for t in triggers:
                    cells[(t, 1)] = no_value(org, tag(rule, t))
    elif template == "18000800":
        for rule, col in EQUALITY.items():
            a, b = positive(org, tag(rule, 1)), positive(org, tag(rule, 2))
            if breaches(org, rule):
                r1 = r2 = a
                if mix(org, rule, 7) % 4 == 0:  # no cells in rows 3 and 4
                    r3 = r4 = None
                else:
                    r3, r4 = b, str(int(b) + 1 + mix(org, rule) % 9)
            elif mix(org, rule, 8) % 2:
                r1, r2 = a, str(int(a) + 1)
                r3, r4 = b, positive(org, tag(rule, 3))
            else:
                r1 = r2 = a
                r3 = r4 = b
            for row, v in zip((1, 2, 3, 4), (r1, r2, r3, r4)):
                cells[(row, col)] = v
    elif template == "18000400":
        den = positive(org, tag(19, 1), 900)
        if breaches(org, 12):
            parts = [str(int(den) * k // 10) for k in (1 + mix(org, 12) % 4, mix(org, 12, 9) % 3, 0)]
            parts[2] = str(1 + int(den) // 10)
            cells[(19, 1)], cells[(19, 2)], cells[(19, 3)], cells[(19, 4)] = den, *parts
        elif mix(org, 12, 10) % 2:
            cells[(19, 1)], cells[(19, 2)], cells[(19, 3)], cells[(19, 4)] = den, "0", "0", "0"
        else:
            cells[(19, 1)] = no_value(org, tag(19, 1))
    elif template == "18001600":
        listed = [rule for rule in RATIO_16 if breaches(org, rule)]
        cells[(21, 1)] = positive(org, tag(21, 1), 900) if listed or mix(org, 16) % 3 else "0"
        for rule, col in RATIO_16.items():
            cells[(21, col)] = positive(org, tag(21, col), 300) if rule in listed else no_value(org, tag(21, col))
    for rule, (tem, num, den) in RATIO.items():
        if tem != template:
            continue
        if breaches(org, rule):
            cells[den] = positive(org, tag(*den), 900)
            cells[num] = str(1 + int(cells[den]) * (1 + mix(org, rule) % 120) // 100)
        elif mix(org, rule, 11) % 2:
            cells[den] = positive(org, tag(*den), 900)
            cells[num] = no_value(org, tag(*num))
        else:
            cells[den] = no_value(org, tag(*den))
            cells[num] = positive(org, tag(*num))
    return cells


def copy_block(out, table, columns, rows):
    out.write("COPY %s (%s) FROM stdin;\n" % (table, ", ".join(columns)))
    for row in rows:
        out.write("\t".join("\\N" if v is None else str(v) for v in row))
        out.write("\n")
    out.write("\\.\n")


def templates():
    rows = [("18%04d" % (n * 100), "1800", "第%d表" % n) for n in range(1, 20)]
    rows.append(("18000401", "1800", "第4表附表"))
    rows += [("17%04d" % (n * 100), "1700", "第%d表(旧版)" % n) for n in (4, 7, 8, 15, 16, 18, 19)]
    return rows


# The database's own rules. A formula of template 17xxxxxx and the elements of
# the matching 1800xxxx rule share CHECKID and FORMULAID. Rules of another type
# or of other templates are there to be left out by the copy.
CHECK_RULES = [
    ("17000700", 1, 3), ("18000700", 1, 3),
    ("17000800", 1, 3), ("18000800", 1, 3),
    ("17000400", 2, 4), ("18000400", 2, 4),
    ("17001800", 3, 4), ("18001800", 3, 4),
    ("17000700", 9, 2), ("18000700", 9, 2),
    ("16000100", 1, 3),
]
FORMULAS = [
    ("17000700", 1, 1, "R2C1>=R3C1+R4C1", ">="),
    ("17000700", 1, 2, "R16C1<=R1C1", "<="),
    ("17000800", 1, 1, "R1C2=R2C2+R3C2-R4C2", "="),
    ("17000800", 1, 2, "R1C4<>R2C4", "<>"),
    ("17000400", 2, 1, "T17000400R19C1>=T17001600R21C1", ">="),
    ("17001800", 3, 1, "(T17001800R4C1)=T17001900R4C1", "="),
    ("17001800", 3, 2, "T17001800R18C1<T17001900R18C1", "<"),
    ("17000700", 9, 1, "R1C1>R2C1", ">"),
    ("16000100", 1, 1, "R1C1=R2C1", "="),
]
ELEMENTS = [
    ("18000700", 1, 1, 1, 0, "18000700", "R2C1", "+", "", ""),
    ("18000700", 1, 1, 2, 1, "18000700", "R3C1", "+", "", ""),
    ("18000700", 1, 1, 3, 1, "18000700", "+R4C1", "+", "", ""),
    ("18000700", 1, 2, 1, 0, "18000700", "R16C1", "", "", ""),
    ("18000700", 1, 2, 2, 1, "18000700", "R1C1", "", "", ""),
    ("18000800", 1, 1, 1, 0, "18000800", "R1C2", "+", "", ""),
    ("18000800", 1, 1, 2, 1, "18000800", "R2C2", "+", "", ""),
    ("18000800", 1, 1, 3, 1, "18000800", "+R3C2", "+", "", ""),
    ("18000800", 1, 1, 4, 1, "18000800", "-R4C2", "-", "", ""),
    ("18000800", 1, 2, 1, 0, "18000800", "R1C4", "", "", ""),
    ("18000800", 1, 2, 2, 1, "18000800", "R2C4", "", "", ""),
    ("18000400", 2, 1, 1, 0, "18000400", "T18000400R19C1", "", "(", ""),
    ("18000400", 2, 1, 2, 1, "18001600", "T18001600R21C1", "", "", ")"),
    ("18001800", 3, 1, 1, 0, "18001800", "(T18001800R4C1)", "", "", ""),
    ("18001800", 3, 1, 2, 1, "18001900", "T18001900R4C1", "", "", ""),
    ("18001800", 3, 2, 1, 0, "18001800", "T18001800R18C1", "", "", ""),
    ("18001800", 3, 2, 2, 1, "18001900", "T18001900R18C1", "", "", ""),
    ("18000700", 9, 1, 1, 0, "18000700", "R1C1", "", "", ""),
    ("18000700", 9, 1, 2, 1, "18000700", "R2C1", "", "", ""),
]


def generate(n, out):
    out.write("-- demo data: %d organisations\nBEGIN;\n" % n)
    orgs = organisations(n)
    copy_block(out, "D01", ("D0107", "D0127", "D0101", "useful"), orgs)
    copy_block(out, "RPTTEMPLATE", ("RPTID", "TYPE", "RPTNAME"), templates())

    reports, data = [], []
    report_id = 0
    for org, (code, _, _, _) in enumerate(orgs):
        for template in REPORT_TEMPLATES:
            report_id += 1
            reports.append((report_id, template, PERIOD_2016[0], PERIOD_2016[1], code))
            for (row, col), val in sorted(report_cells(org, template).items()):
                if val is not None:
                    data.append((report_id, row, col, val))
        if mix(org, 2015) % 10 == 0:
            # An older report that would break presence rule 1 if the period were ignored.
            report_id += 1
            reports.append((report_id, "18000700", PERIOD_2015[0], PERIOD_2015[1], code))
            data.append((report_id, 3, 1, "7"))
    copy_block(out, "RPTREPORT", ("REPORTID", "TEMID", "TIMEBEGIN", "TIMEEND", "ORGID"), reports)
    copy_block(out, "RPTREPORTDATA", ("REPORTID", "ROW", "COL", "VAL"), data)

    copy_block(out, "RPTCHECKRULE", ("RPTID", "CHECKID", "CHECKTYPE"), CHECK_RULES)
    copy_block(out, "RPTFORMULA", ("RPTID", "CHECKID", "FORMULAID", "EXPRESSION", "RELATION"), FORMULAS)
    copy_block(out, "RPTFORMULAELEMENT",
               ("RPTID", "CHECKID", "FORMULAID", "ID", "TYPE", "TABLENAME", "EXPRESSION", "OPERATOR",
                "PREFIX", "POSTFIX"), ELEMENTS)
    out.write("COMMIT;\n")


def main():
    parser = argparse.ArgumentParser(description="Demo data for the stand-in report database.")
    parser.add_argument("--orgs", type=int, default=300, help="number of organisations (default 300)")
    parser.add_argument("--out", help="file to write (default: standard output)")
    args = parser.parse_args()
    if args.orgs < 1:
        parser.error("--orgs must be at least 1")
    if args.out:
        with open(args.out, "w", encoding="utf-8", newline="\n") as f:
            generate(args.orgs, f)
    else:
        sys.stdout.reconfigure(encoding="utf-8", newline="\n")
        generate(args.orgs, sys.stdout)


if __name__ == "__main__":
    main()
