#!/usr/bin/env python3
"""Reads an Excel 97-2003 workbook with independent readers and prints what
the tests compare as one JSON object on stdout.

  xls_dump.py FILE

- cells, merges, fonts, alignment, lines, widths and heights, defined names:
  xlrd (formatting_info on);
- the compound file: olefile, strict (a defect raises);
- the records xlrd does not decode (page setup, EXTSST): a walk over the
  Workbook stream's records here.
Exits 2 when a reader is missing, 1 when the file cannot be read.
"""
import json
import struct
import sys

try:
    import olefile
    import xlrd
except ImportError as e:  # the test skips on exit code 2
    print("missing reader: %s" % e, file=sys.stderr)
    sys.exit(2)


def cells_and_formats(path):
    book = xlrd.open_workbook(path, formatting_info=True, on_demand=False)
    fonts = [f.height for f in book.font_list]
    xfs = []
    for xf in book.xf_list:
        a, b = xf.alignment, xf.border
        xfs.append({
            "font": xf.font_index,
            "fontTwips": fonts[xf.font_index] if xf.font_index < len(fonts) else -1,
            "h": a.hor_align, "v": a.vert_align, "wrap": bool(a.text_wrapped),
            "left": b.left_line_style != 0, "right": b.right_line_style != 0,
            "top": b.top_line_style != 0, "bottom": b.bottom_line_style != 0,
        })
    sheets = []
    for sh in book.sheets():
        cells = []
        for r in range(sh.nrows):
            row = sh.row(r)
            for c, cell in enumerate(row):
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                cells.append([r, c, cell.value if cell.ctype == xlrd.XL_CELL_TEXT else "", cell.xf_index])
        sheets.append({
            "name": sh.name,
            "rows": sh.nrows,
            "columns": sh.ncols,
            "cells": cells,
            "merges": [list(m) for m in sh.merged_cells],  # row lo, row hi (past), col lo, col hi (past)
            "widths": {str(c): info.width for c, info in sh.colinfo_map.items()},
            "heights": [sh.rowinfo_map[r].height if r in sh.rowinfo_map else -1 for r in range(sh.nrows)],
            # whether the height is marked as set by hand, not fitted to the row's texts
            "setByHand": [bool(sh.rowinfo_map[r].height_mismatch) if r in sh.rowinfo_map else None
                          for r in range(sh.nrows)],
        })
    names = []
    for n in book.name_obj_list:
        entry = {"name": n.name, "builtin": bool(n.builtin), "scope": n.scope}
        try:
            sheet, rlo, rhi, clo, chi = n.area2d()
            entry["area"] = [sheet.number, rlo, rhi, clo, chi]  # row and column ends are past the area
        except Exception as e:  # a name that is not one area
            entry["error"] = str(e)
        names.append(entry)
    return {"xfs": xfs, "sheets": sheets, "names": names}


def records(stream):
    at = 0
    while at + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, at)
        yield at, rid, stream[at + 4:at + 4 + size]
        at += 4 + size


def unicode_string(body, at=0):
    n, flags = struct.unpack_from("<HB", body, at)
    if flags & 1:
        return body[at + 3:at + 3 + 2 * n].decode("utf-16-le")
    return body[at + 3:at + 3 + n].decode("latin-1")


def raw_records(stream):
    """Page setup of each worksheet, and how the EXTSST indexes the SST."""
    sheets = []
    order = []  # record ids of the workbook globals
    sst = []  # (position, body) of the SST and its CONTINUE records
    in_sst = False
    extsst = None
    cur = None  # the worksheet whose records these are
    for at, rid, body in records(stream):
        if rid == 0x0809:
            if struct.unpack_from("<H", body, 2)[0] == 0x0010:
                cur = {}
                sheets.append(cur)
            continue
        if rid == 0x000A:
            if cur is None:
                order.append(rid)
            cur = None
            continue
        if cur is None:
            order.append(rid)
            if rid == 0x00FC:
                sst, in_sst = [(at, body)], True
            elif rid == 0x003C and in_sst:
                sst.append((at, body))
            else:
                in_sst = False
            if rid == 0x00FF:
                dsst = struct.unpack_from("<H", body, 0)[0]
                buckets = [struct.unpack_from("<IH", body, 2 + 8 * i) for i in range((len(body) - 2) // 8)]
                extsst = {"bucketSize": dsst, "buckets": buckets}
            continue
        if rid == 0x0014:
            cur["header"] = unicode_string(body) if body else ""
        elif rid == 0x0015:
            cur["footer"] = unicode_string(body) if body else ""
        elif rid in (0x0026, 0x0027, 0x0028, 0x0029):
            key = {0x0026: "left", 0x0027: "right", 0x0028: "top", 0x0029: "bottom"}[rid]
            cur.setdefault("margins", {})[key] = struct.unpack_from("<d", body, 0)[0]
        elif rid == 0x0081:
            cur["fitToPage"] = bool(struct.unpack_from("<H", body, 0)[0] & 0x0100)
        elif rid == 0x00A1:
            paper, scale, start, fit_w, fit_h, grbit = struct.unpack_from("<6H", body, 0)
            header_margin, footer_margin = struct.unpack_from("<dd", body, 16)
            cur["setup"] = {
                "paper": paper, "scale": scale, "fitWidth": fit_w, "fitHeight": fit_h,
                "landscape": not (grbit & 0x2), "valid": not (grbit & 0x4),
                "headerMargin": header_margin, "footerMargin": footer_margin,
            }

    # Whether each EXTSST bucket points at the header of the string it
    # should: the first string of the bucket, counted from the SST's start.
    result = {"globalsOrder": ["%04X" % r for r in order], "sheets": sheets}
    if extsst is not None and sst:
        starts = []  # (stream position, offset in its record with header)
        count = struct.unpack_from("<I", sst[0][1], 4)[0]
        part, off = 0, 8
        while len(starts) < count:
            pos, body = sst[part]
            if off >= len(body):
                part, off = part + 1, 0
                continue
            starts.append((pos + 4 + off, off + 4))
            n, flags = struct.unpack_from("<HB", body, off)
            off += 3
            left = n
            while left > 0:
                pos, body = sst[part]
                if off >= len(body):
                    part += 1
                    pos, body = sst[part]
                    flags = body[0]
                    off = 1
                width = 2 if flags & 1 else 1
                take = min(left, (len(body) - off) // width)
                left -= take
                off += take * width
        expected = [starts[i] for i in range(0, count, extsst["bucketSize"])]
        result["extsst"] = {
            "bucketSize": extsst["bucketSize"],
            "buckets": len(extsst["buckets"]),
            "matches": [list(b) for b in extsst["buckets"]] == [list(e) for e in expected],
        }
    return result


def main():
    path = sys.argv[1]
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    streams = ["/".join(s) for s in ole.listdir(streams=True, storages=True)]
    stream = ole.openstream("Workbook").read()
    out = {"ole": {"streams": streams, "workbookSize": ole.get_size("Workbook")}}
    out.update(raw_records(stream))
    book = cells_and_formats(path)
    out["xfs"] = book["xfs"]
    out["names"] = book["names"]
    for sheet, raw in zip(book["sheets"], out["sheets"]):
        raw.update(sheet)
    if len(book["sheets"]) != len(out["sheets"]):
        out["sheets"] = book["sheets"]
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    try:
        main()
    except SystemExit:
        raise
    except Exception as e:
        print("%s: %s" % (type(e).__name__, e), file=sys.stderr)
        sys.exit(1)
