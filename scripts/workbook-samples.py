#!/usr/bin/python3
"""Writes the workbook test fixtures' sources and the hand-made workbooks.

Usage: workbook-samples.py WORK OUT
WORK receives sales.fods and date1904.fods, which LibreOffice converts;
OUT receives excel-style.xlsx, excel-style-1904.xlsx, openpyxl.xlsx,
encrypted.xlsx and sales.csv (the same lines typed into the template).
"""
import datetime
import os
import struct
import sys
import zipfile
from xml.sax.saxutils import escape

import openpyxl

SALES_HEADER = ["日付", "種別", "メーカー", "ふりがな", "製品名", "型式", "仕様", "数量", "販売単価", "ふりがな", "販売先"]
PURCHASE_HEADER = SALES_HEADER[:8] + ["仕入単価", "ふりがな", "仕入先"]

# A cell: ("d", date or datetime, format) with format ymd, md or era;
# ("t", text); ("n", number, grouped); ("f", formula, number result);
# ("e", formula, error shown); None for an empty cell.
def D(value, fmt="ymd"): return ("d", value, fmt)
def T(text): return ("t", text)
def N(number, grouped=False): return ("n", number, grouped)

SALES_ROWS = {
    2: [D(datetime.date(2024, 5, 7)), T("パソコン"), T("富士見電機"), T("のーとぱそこん"), T("ノートパソコン FM-14"),
        T("00123"), T("14型, Core i5, 16GB"), N(2), N(128000, True), T("かぶしきがいしゃ まるやましょうかい"),
        T("株式会社 丸山商会")],
    3: [D(datetime.date(2024, 1, 5), "md"), T("周辺機器"), T("ミナト工業"), T("わいやれすまうす"), T("ワイヤレスマウス"),
        T("MW-300"), T("USB レシーバー付"), N(2), ("f", "1240*2", 2480)],
    5: [D(datetime.date(2024, 3, 15), "era"), T("文具"), T("北星"), T("のーと"), T("ノート"), T("0042"),
        T('A4 "罫線" 30枚'), N(10), N(120), T("きたやましょうてん"), T("北山商店")],
    6: [D(datetime.date(2024, 3, 16)), T("文具"), T("北星"), T("ぺん"), T("ボールペン"), N(12345), T("黒"),
        ("e", "NA()", "#N/A"), N(100)],
    7: [T("2024/4/1"), T("文具"), T("北星"), T("けしごむ"), T("消しゴム"), T("E-1"), None, N(3), N(80)],
    8: [D(datetime.datetime(2024, 4, 2, 15, 30)), T("文具"), T("北星"), T("ふせん"), T("付箋"), T("F-75"), T("75mm"),
        N(1), N(1000, True)],
}
PURCHASE_ROWS = {
    2: [D(datetime.date(2024, 4, 1)), T("パソコン"), T("富士見電機"), T("のーとぱそこん"), T("ノートパソコン FM-14"),
        T("FM-14A"), T("14型"), N(5), N(98000, True), T("ふじみでんきはんばい"), T("富士見電機販売")],
}
# Readings Excel keeps beside the text it was typed as (ふりがな).
PHONETIC = {"富士見電機": "フジミデンキ", "北山商店": "キタヤマショウテン", "株式会社 丸山商会": "カブシキガイシャ マルヤマショウカイ",
            "ノートパソコン FM-14": "ノートパソコン"}
# The reading column of row 5 is a formula in the Excel-style workbook.
PHONETIC_FORMULA_CELL = (5, 10)

SHEETS = [("売上", SALES_HEADER, SALES_ROWS), ("仕入", PURCHASE_HEADER, PURCHASE_ROWS)]


def column_letter(column):
    letters = ""
    while column:
        column, rest = divmod(column - 1, 26)
        letters = chr(65 + rest) + letters
    return letters


def typed_text(cell):
    """The cell as a clerk types it into the template CSV."""
    if cell is None:
        return ""
    kind = cell[0]
    if kind == "d":
        return cell[1].strftime("%Y/%m/%d")
    if kind == "t":
        return cell[1]
    if kind in ("n", "f"):
        value = cell[1] if kind == "n" else cell[2]
        return str(int(value)) if float(value).is_integer() else str(value)
    return cell[2]


def csv_field(text):
    if any(ch in text for ch in ',"\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def write_csv(path):
    with open(path, "w", encoding="utf-8", newline="\r\n") as out:
        out.write(",".join(SALES_HEADER) + "\n")
        for number in sorted(SALES_ROWS):
            cells = SALES_ROWS[number] + [None] * (11 - len(SALES_ROWS[number]))
            out.write(",".join(csv_field(typed_text(c)) for c in cells) + "\n")


# ---- flat OpenDocument, for LibreOffice ----

FODS_STYLES = """<office:automatic-styles>
<number:date-style style:name="Nymd"><number:year number:style="long"/><number:text>/</number:text><number:month/><number:text>/</number:text><number:day/></number:date-style>
<number:date-style style:name="Nmd"><number:month/><number:text>月</number:text><number:day/><number:text>日</number:text></number:date-style>
<number:date-style style:name="Nera" number:language="ja" number:country="JP"><number:era number:style="long" number:calendar="gengou"/><number:year number:calendar="gengou"/><number:text>年</number:text><number:month/><number:text>月</number:text><number:day/><number:text>日</number:text></number:date-style>
<number:number-style style:name="Ngrouped"><number:number number:decimal-places="0" number:min-integer-digits="1" number:grouping="true"/></number:number-style>
<style:style style:name="ymd" style:family="table-cell" style:data-style-name="Nymd"/>
<style:style style:name="md" style:family="table-cell" style:data-style-name="Nmd"/>
<style:style style:name="era" style:family="table-cell" style:data-style-name="Nera"/>
<style:style style:name="grouped" style:family="table-cell" style:data-style-name="Ngrouped"/>
</office:automatic-styles>"""


def fods_cell(cell):
    if cell is None:
        return "<table:table-cell/>"
    kind = cell[0]
    if kind == "d":
        value = cell[1]
        iso = value.isoformat() if isinstance(value, datetime.datetime) else value.isoformat()
        return (f'<table:table-cell table:style-name="{cell[2]}" office:value-type="date" office:date-value="{iso}">'
                f"<text:p>{iso}</text:p></table:table-cell>")
    if kind == "t":
        return f'<table:table-cell office:value-type="string"><text:p>{escape(cell[1])}</text:p></table:table-cell>'
    if kind == "n":
        style = ' table:style-name="grouped"' if cell[2] else ""
        return (f'<table:table-cell{style} office:value-type="float" office:value="{cell[1]}">'
                f"<text:p>{cell[1]}</text:p></table:table-cell>")
    if kind == "f":
        return (f'<table:table-cell table:style-name="grouped" table:formula="of:={cell[1]}" '
                f'office:value-type="float" office:value="{cell[2]}"><text:p>{cell[2]}</text:p></table:table-cell>')
    return (f'<table:table-cell table:formula="of:={cell[1]}" office:value-type="string" office:string-value="" '
            f'calcext:value-type="error"><text:p>{cell[2]}</text:p></table:table-cell>')


def write_fods(path, null_date):
    tables = []
    for name, header, rows in SHEETS:
        lines = ["<table:table-row>" + "".join(fods_cell(T(h)) for h in header) + "</table:table-row>"]
        for number in range(2, max(rows) + 1):
            cells = rows.get(number, [])
            lines.append("<table:table-row>" + "".join(fods_cell(c) for c in cells) + "</table:table-row>"
                         if cells else "<table:table-row><table:table-cell/></table:table-row>")
        tables.append(f'<table:table table:name="{name}">' + "".join(lines) + "</table:table>")
    settings = (f'<table:calculation-settings><table:null-date table:date-value="{null_date}"/>'
                "</table:calculation-settings>")
    with open(path, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                  '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
                  'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
                  'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
                  'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
                  'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" '
                  'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '
                  'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" '
                  'office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
                  + FODS_STYLES + "<office:body><office:spreadsheet>" + settings + "".join(tables)
                  + "</office:spreadsheet></office:body></office:document>\n")


# ---- Excel's own layout, by hand ----

NS_MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
NS_REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS_PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
REL_TYPE = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"

# Styles: 0 general, 1 built-in 14 (yyyy/m/d), 2 built-in 3 (#,##0),
# 3 built-in 56 (Japanese m月d日), 4 custom era date, 5 text (@).
EXCEL_STYLE_OF_FORMAT = {"ymd": 1, "md": 3, "era": 4}
EXCEL_STYLES = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="{NS_MAIN}"><numFmts count="1"><numFmt numFmtId="176" formatCode="[$-ja-JP]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>
<fonts count="1"><font><sz val="11"/><name val="游ゴシック"/><family val="2"/><charset val="128"/></font></fonts>
<fills count="1"><fill><patternFill patternType="none"/></fill></fills><borders count="1"><border/></borders>
<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
<cellXfs count="6"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/><xf numFmtId="3" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/><xf numFmtId="56" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/><xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/><xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>
<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/></cellStyles></styleSheet>"""


def serial_of(value, date1904):
    epoch = datetime.datetime(1904, 1, 1) if date1904 else datetime.datetime(1899, 12, 30)
    if not isinstance(value, datetime.datetime):
        value = datetime.datetime(value.year, value.month, value.day)
    delta = value - epoch
    return delta.days + delta.seconds / 86400


class SharedStrings:
    def __init__(self):
        self.items, self.index = [], {}

    def add(self, text):
        if text not in self.index:
            self.index[text] = len(self.items)
            self.items.append(text)
        return self.index[text]

    def xml(self):
        parts = []
        for text in self.items:
            reading = PHONETIC.get(text)
            if reading:
                # The guide's text is kept apart from the cell's own.
                parts.append(f'<si><t>{escape(text)}</t><rPh sb="0" eb="{len(text)}"><t>{escape(reading)}</t></rPh>'
                             '<phoneticPr fontId="1"/></si>')
            elif text != text.strip():
                parts.append(f'<si><t xml:space="preserve">{escape(text)}</t></si>')
            else:
                parts.append(f"<si><t>{escape(text)}</t></si>")
        return (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst xmlns="{NS_MAIN}" '
                f'count="{len(self.items)}" uniqueCount="{len(self.items)}">' + "".join(parts) + "</sst>")


def excel_cell(ref, cell, strings, date1904, formula_text=None):
    if cell is None:
        return ""
    kind = cell[0]
    if kind == "d":
        return f'<c r="{ref}" s="{EXCEL_STYLE_OF_FORMAT[cell[2]]}"><v>{serial_of(cell[1], date1904):.10g}</v></c>'
    if kind == "t":
        if formula_text:
            return f'<c r="{ref}" t="str"><f>{formula_text}</f><v>{escape(cell[1])}</v></c>'
        style = ' s="5"' if cell[1][:1].isdigit() else ""
        return f'<c r="{ref}"{style} t="s"><v>{strings.add(cell[1])}</v></c>'
    if kind == "n":
        style = ' s="2"' if cell[2] else ""
        return f'<c r="{ref}"{style}><v>{cell[1]}</v></c>'
    if kind == "f":
        return f'<c r="{ref}" s="2"><f>{cell[1]}</f><v>{cell[2]}</v></c>'
    return f'<c r="{ref}" t="e"><f>{cell[1]}</f><v>{cell[2]}</v></c>'


def excel_sheet(header, rows, strings, date1904):
    out = []
    all_rows = {1: [T(h) for h in header], **rows}
    for number in range(1, max(all_rows) + 1):
        cells = all_rows.get(number)
        if cells is None:
            # A row Excel keeps for its style alone: no value.
            out.append(f'<row r="{number}"><c r="A{number}" s="1"/></row>')
            continue
        xml = "".join(
            excel_cell(f"{column_letter(i + 1)}{number}", c, strings, date1904,
                       f"PHONETIC(K{number})" if (number, i + 1) == PHONETIC_FORMULA_CELL else None)
            for i, c in enumerate(cells))
        out.append(f'<row r="{number}" spans="1:11">{xml}</row>')
    return (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet xmlns="{NS_MAIN}" xmlns:r="{NS_REL}">'
            '<dimension ref="A1:K8"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>'
            '<sheetFormatPr defaultRowHeight="18.75"/><sheetData>' + "".join(out) + "</sheetData>"
            '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>')


def write_excel_style(path, date1904):
    strings = SharedStrings()
    sheets = [excel_sheet(header, rows, strings, date1904) for _, header, rows in SHEETS]
    workbook_pr = '<workbookPr date1904="1"/>' if date1904 else '<workbookPr defaultThemeVersion="166925"/>'
    sheet_entries = "".join(f'<sheet name="{name}" sheetId="{i + 1}" r:id="rId{i + 1}"/>'
                            for i, (name, _, _) in enumerate(SHEETS))
    rels = "".join(f'<Relationship Id="rId{i + 1}" Type="{REL_TYPE}worksheet" Target="worksheets/sheet{i + 1}.xml"/>'
                   for i in range(len(SHEETS)))
    n = len(SHEETS)
    rels += (f'<Relationship Id="rId{n + 1}" Type="{REL_TYPE}styles" Target="styles.xml"/>'
             f'<Relationship Id="rId{n + 2}" Type="{REL_TYPE}sharedStrings" Target="sharedStrings.xml"/>')
    overrides = "".join(f'<Override PartName="/xl/worksheets/sheet{i + 1}.xml" ContentType="application/'
                        'vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' for i in range(n))
    parts = {
        "[Content_Types].xml": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/'
        'vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>' + overrides + "</Types>",
        "_rels/.rels": f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="{NS_PKG}">'
        f'<Relationship Id="rId1" Type="{REL_TYPE}officeDocument" Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml": f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook xmlns="{NS_MAIN}" '
        f'xmlns:r="{NS_REL}"><fileVersion appName="xl" lastEdited="7" lowestEdited="7" rupBuild="27328"/>'
        + workbook_pr + "<sheets>" + sheet_entries + '</sheets><calcPr calcId="191029"/></workbook>',
        "xl/_rels/workbook.xml.rels": f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        f'<Relationships xmlns="{NS_PKG}">' + rels + "</Relationships>",
        "xl/styles.xml": EXCEL_STYLES,
    }
    for i, xml in enumerate(sheets):
        parts[f"xl/worksheets/sheet{i + 1}.xml"] = xml
    parts["xl/sharedStrings.xml"] = strings.xml()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as package:
        for name, xml in parts.items():
            package.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), xml, zipfile.ZIP_DEFLATED)


# ---- openpyxl: inline strings, absolute part names ----

OPENPYXL_FORMATS = {"ymd": "yyyy/m/d", "md": 'm"月"d"日"', "era": '[$-ja-JP]ggge"年"m"月"d"日"'}


def write_openpyxl(path):
    book = openpyxl.Workbook()
    book.remove(book.active)
    for name, header, rows in SHEETS:
        sheet = book.create_sheet(name)
        sheet.append(header)
        for number, cells in rows.items():
            for i, cell in enumerate(cells):
                if cell is None:
                    continue
                target = sheet.cell(row=number, column=i + 1)
                kind = cell[0]
                if kind == "d":
                    target.value = cell[1]
                    target.number_format = OPENPYXL_FORMATS[cell[2]]
                elif kind == "t":
                    target.value = cell[1]
                elif kind == "n":
                    target.value = cell[1]
                    if cell[2]:
                        target.number_format = "#,##0"
                elif kind == "f":
                    # openpyxl computes no formula: its result is written instead.
                    target.value = cell[2]
                    target.number_format = "#,##0"
                else:
                    target.value = cell[2]
                    target.data_type = "e"
    # A formula openpyxl writes without a result.
    book.create_sheet("式")["A1"] = "=1+1"
    book.save(path)


# ---- an encrypted workbook: a compound file, as Excel writes one ----

def write_encrypted(path):
    """A compound file holding EncryptionInfo and EncryptedPackage streams."""
    sector = 512
    end_of_chain, fat_sector, free = 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF
    # Sectors: 0 FAT, 1 directory, 2-9 EncryptionInfo, 10-17 EncryptedPackage (4096 bytes each: no mini stream).
    fat = [fat_sector, end_of_chain] + list(range(3, 10)) + [end_of_chain] + list(range(11, 18)) + [end_of_chain]
    fat += [free] * (128 - len(fat))

    def entry(name, kind, start, size, child=free, left=free, right=free):
        encoded = (name + "\0").encode("utf-16-le") if name else b""
        return (encoded.ljust(64, b"\0") + struct.pack("<HBB", len(encoded), kind, 1)
                + struct.pack("<III", left, right, child) + b"\0" * 16 + struct.pack("<I", 0) + b"\0" * 16
                + struct.pack("<IIQ", start, size, 0)[:8] + struct.pack("<I", 0))

    directory = (entry("Root Entry", 5, end_of_chain, 0, child=1)
                 + entry("EncryptionInfo", 2, 2, 4096, right=2)
                 + entry("EncryptedPackage", 2, 10, 4096)
                 + entry("", 0, free, 0))
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 + struct.pack("<HHHH", 0x3E, 3, 0xFFFE, 9)
              + struct.pack("<H", 6) + b"\0" * 6 + struct.pack("<IIIIIIII", 0, 1, 1, 0, 4096, end_of_chain, 0,
                                                                   end_of_chain)
              + struct.pack("<I", 0) + struct.pack("<I", 0) + struct.pack("<I", free) * 108)
    with open(path, "wb") as out:
        out.write(header[:512].ljust(sector, b"\0"))
        out.write(b"".join(struct.pack("<I", x) for x in fat))
        out.write(directory.ljust(sector, b"\0"))
        out.write(bytes(range(256)) * 16 * 2)


def main():
    work, out = sys.argv[1], sys.argv[2]
    write_fods(os.path.join(work, "sales.fods"), "1899-12-30")
    write_fods(os.path.join(work, "date1904.fods"), "1904-01-01")
    write_excel_style(os.path.join(out, "excel-style.xlsx"), False)
    write_excel_style(os.path.join(out, "excel-style-1904.xlsx"), True)
    write_openpyxl(os.path.join(out, "openpyxl.xlsx"))
    write_encrypted(os.path.join(out, "encrypted.xlsx"))
    write_csv(os.path.join(out, "sales.csv"))


if __name__ == "__main__":
    main()
