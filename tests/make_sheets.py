#!/usr/bin/python3
"""Writes the spreadsheets that tst_sheets reads, as offices make them: an XLSX file with
openpyxl and an ODS file with odfpy holding the same two sheets, and hostile files beside them.

usage: make_sheets.py DIRECTORY
"""
import datetime
import io
import os
import sys
import zipfile

import openpyxl
from odf.opendocument import OpenDocumentSpreadsheet, OpenDocumentText
from odf.table import Table, TableCell, TableRow
from odf.text import P

out = sys.argv[1]

# The first sheet: a header, then text cells, number cells (one that lost its leading 0 when it
# was typed), a date, a boolean, an empty row and a row without its code.
PRODUCTS = [
    ["Товар", "ean", "Цена"],
    ["Хлеб", "4820000000000", 25],
    ["Молоко", 4820000000001, 1.5],
    ["Кола", 36000291452, None],
    ["Сок", 123456789012, None],
    ["Дата", datetime.date(2024, 1, 5), True],
    [None, None, None],
    ["Без кода", None, 3],
    ["Текст с нулём", "036000291452", None],
]
SECOND = [[None, None, "4006381333931"], [None, None, "4006381333932"]]


def xlsx(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Товары"
    for row in PRODUCTS:
        ws.append(row)
    second = wb.create_sheet("Второй лист")
    for row in SECOND:
        second.append(row)
    buffer = io.BytesIO()
    wb.save(buffer)
    # Excel writes a large whole number as it holds it, with an exponent: 123456789012 as
    # 1.23456789012E+11. openpyxl writes it plainly; the sheet is rewritten as Excel has it.
    with zipfile.ZipFile(buffer) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "xl/worksheets/sheet1.xml":
                data = data.replace(b"<v>123456789012</v>", b"<v>1.23456789012E+11</v>")
            dst.writestr(item, data)


def ods(path):
    doc = OpenDocumentSpreadsheet()
    for name, rows in (("Товары", PRODUCTS), ("Второй лист", SECOND)):
        table = Table(name=name)
        for row in rows:
            tr = TableRow()
            for value in row:
                if value is None:
                    cell = TableCell()
                elif isinstance(value, bool):
                    cell = TableCell(valuetype="boolean", booleanvalue=str(value).lower())
                    cell.addElement(P(text="ИСТИНА" if value else "ЛОЖЬ"))
                elif isinstance(value, datetime.date):
                    cell = TableCell(valuetype="date", datevalue=value.isoformat())
                    cell.addElement(P(text=value.strftime("%d.%m.%Y")))
                elif isinstance(value, str):
                    cell = TableCell(valuetype="string")
                    cell.addElement(P(text=value))
                else:
                    # LibreOffice keeps the value exactly and shows it as its format says.
                    written = "1.23456789012E+11" if value == 123456789012 else repr(value)
                    cell = TableCell(valuetype="float", value=written)
                    cell.addElement(P(text=str(value)))
                tr.addElement(cell)
            table.addElement(tr)
        doc.spreadsheet.addElement(table)
    doc.save(path)


def zip_of(path, entries, compression=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in entries:
            z.writestr(name, data)


CONTENT_TYPES = b'<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
ROOT_RELS = (b'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
             b'<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
WORKBOOK = (b'<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
            b'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>')
WORKBOOK_RELS = (b'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 b'<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
                 b'<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')


def minimal_xlsx(path, sheet, shared=b'<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"/>'):
    zip_of(path, [("[Content_Types].xml", CONTENT_TYPES), ("_rels/.rels", ROOT_RELS), ("xl/workbook.xml", WORKBOOK),
                  ("xl/_rels/workbook.xml.rels", WORKBOOK_RELS), ("xl/sharedStrings.xml", shared),
                  ("xl/worksheets/sheet1.xml", sheet)])


def sheet_xml(rows):
    return (b'<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
            + rows + b'</sheetData></worksheet>')


def minimal_ods(path, rows):
    content = ('<?xml version="1.0"?><office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
               'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">'
               '<office:body><office:spreadsheet><table:table table:name="S">' + rows
               + '</table:table></office:spreadsheet></office:body></office:document-content>').encode()
    zip_of(path, [("mimetype", b"application/vnd.oasis.opendocument.spreadsheet"), ("content.xml", content)],
           zipfile.ZIP_STORED)


def hostile(directory):
    j = lambda name: os.path.join(directory, name)
    # The billion laughs: entities that expand to gigabytes of text.
    laughs = b'<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">'
    for i in range(1, 10):
        laughs += b'<!ENTITY lol%d "%s">' % (i, (b"&lol%d;" % (i - 1) if i > 1 else b"&lol;") * 10)
    laughs += b']><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>&lol9;</t></si></sst>'
    minimal_xlsx(j("laughs.xlsx"), sheet_xml(b'<row r="1"><c r="A1" t="s"><v>0</v></c></row>'), laughs)
    # One tag of 8 MiB: a token the parser would have to hold whole.
    minimal_xlsx(j("longtag.xlsx"), sheet_xml(b'<row r="1"><c r="A1" t="' + b"x" * (8 << 20) + b'"/></row>'))
    # One cell repeated past the last column, and a row after a billion empty ones.
    minimal_ods(j("columns.ods"), '<table:table-row><table:table-cell table:number-columns-repeated="1000000000" '
                                  'office:value-type="string"><text:p>4820000000000</text:p></table:table-cell></table:table-row>')
    minimal_ods(j("rows.ods"), '<table:table-row table:number-rows-repeated="1000000000"><table:table-cell/></table:table-row>'
                               '<table:table-row><table:table-cell office:value-type="string"><text:p>4820000000000</text:p>'
                               '</table:table-cell></table:table-row>')
    # More files than any workbook has.
    with zipfile.ZipFile(j("entries.xlsx"), "w", zipfile.ZIP_STORED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        for i in range(70000):
            z.writestr("x/%d" % i, b"")
    # A sheet that is not XML, a zip of something else, another OpenDocument, a cut-off file.
    minimal_xlsx(j("notxml.xlsx"), b"<worksheet><sheetData><row></sheetData>")
    zip_of(j("other.zip"), [("readme.txt", b"4820000000000\n")])
    text = OpenDocumentText()
    text.text.addElement(P(text="4820000000000"))
    text.save(j("letter.odt"))
    with open(j("products.xlsx"), "rb") as f:
        whole = f.read()
    with open(j("truncated.xlsx"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    with open(j("old.xls"), "wb") as f:
        f.write(b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(504))


xlsx(os.path.join(out, "products.xlsx"))
ods(os.path.join(out, "products.ods"))
hostile(out)
