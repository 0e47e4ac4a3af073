#include "DecodeReport.h"

#include <charconv>
#include <cstdio>

namespace corvel {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
    return out;
}

namespace {

std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

const char* verdictText(Verdict v) {
    switch (v) {
        case Verdict::Pass: return "Pass";
        case Verdict::Fail: return "Fail";
        case Verdict::None: break;
    }
    return "";
}

}  // namespace

std::string DecodeReportLine(std::string_view decoder, const MeterCore& core) {
    const LcdMirror& m = core.Mirror();
    const Reading& r = core.CurrentReading();
    std::string line = "{\"decoder\":" + JsonString(decoder);
    line += ",\"frame\":" + JsonString(core.Frames().CurrentFrame());
    line += ",\"digits\":[";
    for (int i = 0; i < kDigitCount; ++i) line += (i ? "," : "") + JsonString(m.digits[i]);
    line += "],\"points\":[";
    bool first = true;
    for (int i = 0; i < kPointCount; ++i) {
        if (!m.points[i]) continue;
        line += (first ? "" : ",") + JsonString(PointName(static_cast<Point>(i)));
        first = false;
    }
    line += "],\"annunciators\":[";
    first = true;
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        if (!m.annunciators[i]) continue;
        line += (first ? "" : ",") + JsonString(AnnunciatorName(static_cast<Annunciator>(i)));
        first = false;
    }
    line += "],\"label4\":" + JsonString(m.label4);
    line += ",\"label5\":" + JsonString(m.label5);
    line += ",\"value\":" + JsonString(r.ValueText);
    line += ",\"unit\":" + JsonString(r.UnitText);
    line += ",\"value2\":" + JsonString(r.Value2Text);
    line += ",\"unit2\":" + JsonString(r.Unit2Text);
    line += ",\"display_count\":" + number(core.Decoders().DisplayCount());
    line += ",\"measured_value\":" + number(r.MeasuredValue);
    line += ",\"verdict\":" + JsonString(verdictText(core.Judge().CurrentVerdict()));
    line += std::string(",\"alarm\":") + (core.Judge().AlarmShown() ? "true" : "false");
    line += ",\"bar\":" + std::to_string(m.pbar2Position);
    line += "}";
    return line;
}

}  // namespace corvel
