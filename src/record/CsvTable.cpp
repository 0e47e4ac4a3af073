#include "record/CsvTable.h"

#include "record/ExportText.h"

namespace corvel {

void CsvTable::AppendHeader(std::string& out) {
    out += kByteOrderMark;
    out += kHeader;
    out += kLineEnd;
}

void CsvTable::AppendField(std::string_view text, std::string& out) {
    bool quote = false;
    bool ascii = true;
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') quote = true;
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    }
    if (!ascii) {
        // The log's texts may hold bytes of a single-byte code page; the
        // file holds UTF-8 only.
        const std::string utf8 = ToUtf8(text);
        if (!quote) {
            out += utf8;
            return;
        }
        out += '"';
        for (const char c : utf8) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
        return;
    }
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

const std::string& CsvTable::Readable(std::string_view code, int field) {
    UnitCache& cache = units_[field == ReadingLogStore::Unit2 ? 1 : 0];
    if (!cache.valid || cache.code != code) {
        cache.code.assign(code);
        cache.readable = ReadableUnit(code, field);
        cache.valid = true;
    }
    return cache.readable;
}

void CsvTable::AppendLines(const ReadingLogStore& rows, int first, int last, std::string& out) {
    for (int row = first; row < last; ++row) {
        rows.AppendText(row, ReadingLogStore::No, out);
        out += ',';
        scratch_.clear();
        rows.AppendText(row, ReadingLogStore::Time, scratch_);
        AppendField(scratch_, out);
        out += ',';
        AppendField(rows.TextView(row, ReadingLogStore::Value), out);
        out += ',';
        AppendField(Readable(rows.TextView(row, ReadingLogStore::Unit), ReadingLogStore::Unit), out);
        out += ',';
        AppendField(rows.TextView(row, ReadingLogStore::Value2), out);
        out += ',';
        AppendField(Readable(rows.TextView(row, ReadingLogStore::Unit2), ReadingLogStore::Unit2), out);
        out += kLineEnd;
    }
}

}  // namespace corvel
