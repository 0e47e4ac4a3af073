#include "record/JournalFormat.h"

#include <zlib.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace corvel {

namespace journal {

namespace {

constexpr int kSecondsPerDay = 86400;

enum Kind : std::uint8_t { kLogged = 0, kLoaded = 1, kEvent = 2 };
enum Event : std::uint8_t { kEmptied = 1, kNewLog = 2, kLimit = 3 };
constexpr std::uint8_t kNextNo = 1 << 2;
constexpr std::uint8_t kSameTime = 1 << 3;
constexpr std::uint8_t kSameText = 1 << 4;  // four bits, one a text

void PutU32(std::uint32_t v, std::string& out) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint32_t GetU32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    // zlib's CRC-32 is the same checksum, several times faster than a table
    // walk: a journal of ten million rows is a quarter of a gigabyte to check
    // when it is restored, and every logged row passes through it once.
    const auto* p = static_cast<const Bytef*>(data);
    uLong c = crc;
    while (size > 0) {
        const auto step = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        c = crc32(c, p, step);
        p += step;
        size -= step;
    }
    return static_cast<std::uint32_t>(c);
}

std::string Header() {
    std::string h(kMagic, sizeof kMagic);
    PutU32(kVersion, h);
    PutU32(Crc32(h.data(), h.size()), h);
    return h;
}

std::string BatchHeader(std::string_view payload) {
    std::string head;
    PutU32(static_cast<std::uint32_t>(payload.size()), head);
    std::uint32_t crc = Crc32(head.data(), head.size());
    crc = Crc32(payload.data(), payload.size(), crc);
    PutU32(crc, head);
    return head;
}

void AppendBatch(std::string_view payload, std::string& out) {
    out += BatchHeader(payload);
    out.append(payload);
}

void Encoder::PutRow(int kind, const Row& row, const double* value, std::string& out) {
    // A row is built in place and appended once: this runs for every
    // logged reading.
    char buf[1 + 10 + 10 + kMaxTextBytes + 4 * (2 + kMaxTextBytes) + 8];
    char* p = buf + 1;
    const auto varint = [&p](std::uint64_t v) {
        while (v >= 0x80) {
            *p++ = static_cast<char>((v & 0x7F) | 0x80);
            v >>= 7;
        }
        *p++ = static_cast<char>(v);
    };
    std::uint8_t tag = static_cast<std::uint8_t>(kind);
    const std::int64_t delta = static_cast<std::int64_t>(row.no) - state_.no;
    if (delta == 1)
        tag |= kNextNo;
    else
        varint(static_cast<std::uint64_t>((delta << 1) ^ (delta >> 63)));
    state_.no = row.no;
    if (row.secondOfDay >= 0 && row.secondOfDay < kSecondsPerDay) {
        if (row.secondOfDay == state_.secondOfDay) {
            tag |= kSameTime;
        } else {
            const int forward = (row.secondOfDay - state_.secondOfDay + kSecondsPerDay) % kSecondsPerDay;
            varint(static_cast<std::uint64_t>(forward) << 1);
            state_.secondOfDay = row.secondOfDay;
        }
    } else {
        const std::string_view text = row.timeText.substr(0, kMaxTextBytes);
        varint((static_cast<std::uint64_t>(text.size()) << 1) | 1);
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    }
    // The row's views are read where they are: copying them to an array
    // first made wide loads of narrow stores the caller had just made, which
    // the processor cannot forward and stalls on.
    const std::string_view* const views[4] = {&row.value, &row.unit, &row.value2, &row.unit2};
    for (int i = 0; i < 4; ++i) {
        const auto same = static_cast<std::uint8_t>(kSameText << i);
        if (row.repeated & (1u << i)) {
            tag |= same;
            continue;
        }
        const std::string_view text = views[i]->substr(0, kMaxTextBytes);
        StateText& before = state_.texts[i];
        if (before.Is(text)) {
            tag |= same;
            continue;
        }
        static_assert(kMaxTextBytes < 0x80, "a text's length is one byte");
        *p++ = static_cast<char>(text.size());
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        p += text.size();
        before.assign(text);
    }
    if (value) {
        // Little-endian on disk, as every number of the journal.
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, value, 8);
            p += 8;
        } else {
            std::uint64_t bits;
            std::memcpy(&bits, value, sizeof bits);
            for (int i = 0; i < 8; ++i) *p++ = static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
    }
    buf[0] = static_cast<char>(tag);
    out.append(buf, static_cast<std::size_t>(p - buf));
}

void Encoder::Emptied(std::string& out) {
    out.push_back(static_cast<char>(kEvent | kEmptied << 2));
}

void Encoder::NewLog(std::string& out) {
    out.push_back(static_cast<char>(kEvent | kNewLog << 2));
}

void Encoder::LimitChosen(int entry, std::string& out) {
    out.push_back(static_cast<char>(kEvent | kLimit << 2));
    out.push_back(static_cast<char>(entry & 0xFF));
}

namespace {

// Reads the entries of one payload against the codec state. Run twice per
// batch: once to see that every entry is whole, then to hand them over, so
// that a batch that checks out but does not parse gives nothing at all.
class PayloadReader {
public:
    PayloadReader(std::string_view payload, CodecState& state) : p_(payload), state_(state) {}

    bool Run(JournalSink* sink) {
        while (at_ < p_.size()) {
            const auto tag = static_cast<std::uint8_t>(p_[at_++]);
            const int kind = tag & 3;
            if (kind == kEvent) {
                const int event = tag >> 2;
                if (event == kEmptied) {
                    if (sink) sink->Emptied();
                } else if (event == kNewLog) {
                    if (sink) sink->NewLog();
                } else if (event == kLimit) {
                    if (at_ >= p_.size()) return false;
                    const int entry = static_cast<std::uint8_t>(p_[at_++]);
                    if (sink) sink->LimitChosen(entry);
                } else {
                    return false;
                }
                continue;
            }
            if (kind != kLogged && kind != kLoaded) return false;
            if (!RowEntry(tag, kind, sink)) return false;
        }
        return true;
    }

private:
    bool Varint(std::uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ >= p_.size()) return false;
            const auto b = static_cast<std::uint8_t>(p_[at_++]);
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool Bytes(std::uint64_t n, std::string_view& out) {
        if (n > kMaxTextBytes || n > p_.size() - at_) return false;
        out = p_.substr(at_, n);
        at_ += n;
        return true;
    }

    bool RowEntry(std::uint8_t tag, int kind, JournalSink* sink) {
        // One row object for the batch, filled field by field: clearing a
        // fresh one for every entry showed in the profile of a restore.
        Row& row = row_;
        row.timeText = {};
        std::int64_t no = state_.no;
        if (tag & kNextNo) {
            no += 1;
        } else {
            std::uint64_t z;
            if (!Varint(z)) return false;
            no += static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
        }
        if (no < INT32_MIN || no > INT32_MAX) return false;
        state_.no = static_cast<std::int32_t>(no);
        row.no = state_.no;
        if (tag & kSameTime) {
            row.secondOfDay = state_.secondOfDay;
        } else {
            std::uint64_t t;
            if (!Varint(t)) return false;
            if (t & 1) {
                if (!Bytes(t >> 1, row.timeText)) return false;
                row.secondOfDay = -1;
            } else {
                if ((t >> 1) >= kSecondsPerDay) return false;
                state_.secondOfDay = static_cast<std::int32_t>(
                    (state_.secondOfDay + static_cast<int>(t >> 1)) % kSecondsPerDay);
                row.secondOfDay = state_.secondOfDay;
            }
        }
        for (int i = 0; i < 4; ++i) {
            if (!(tag & (kSameText << i))) {
                std::uint64_t n;
                std::string_view text;
                if (!Varint(n) || !Bytes(n, text)) return false;
                state_.texts[i].assign(text);
            }
        }
        row.value = state_.texts[0].view();
        row.unit = state_.texts[1].view();
        row.value2 = state_.texts[2].view();
        row.unit2 = state_.texts[3].view();
        if (kind == kLogged) {
            if (p_.size() - at_ < 8) return false;
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(p_[at_ + i])) << (8 * i);
            at_ += 8;
            double value;
            std::memcpy(&value, &bits, sizeof value);
            if (sink) sink->Logged(row, value);
        } else if (sink) {
            sink->Loaded(row);
        }
        return true;
    }

    std::string_view p_;
    std::size_t at_ = 0;
    CodecState& state_;
    Row row_;
};

// Fills `n` bytes from the source; false when it ends first.
bool ReadFull(const JournalByteSource& source, char* out, std::size_t n, std::size_t& got) {
    got = 0;
    while (got < n) {
        const std::size_t k = source(out + got, n - got);
        if (k == 0) return false;
        got += k;
    }
    return true;
}

}  // namespace

}  // namespace journal

JournalReadResult ReadJournal(const JournalByteSource& source, JournalSink& sink,
                              const std::function<void(std::uint64_t)>& progress) {
    using namespace journal;
    JournalReadResult result;
    char header[kHeaderSize];
    std::size_t got = 0;
    if (!ReadFull(source, header, kHeaderSize, got) || std::memcmp(header, kMagic, sizeof kMagic) != 0 ||
        GetU32(header + 12) != Crc32(header, 12)) {
        result.error = "not a reading log journal";
        return result;
    }
    if (const std::uint32_t version = GetU32(header + 8); version != kVersion) {
        result.error = "journal format version " + std::to_string(version) + " is not one this program reads";
        return result;
    }
    result.recognised = true;
    result.goodLength = kHeaderSize;

    std::vector<char> payload;
    char head[kBatchHeaderSize];
    for (;;) {
        if (!ReadFull(source, head, kBatchHeaderSize, got)) {
            result.damaged = got > 0;
            break;
        }
        const std::uint32_t length = GetU32(head);
        if (length == 0 || length > kMaxBatchPayload) {
            result.damaged = true;
            break;
        }
        payload.resize(length);
        if (!ReadFull(source, payload.data(), length, got)) {
            result.damaged = true;
            break;
        }
        const std::uint32_t crc = Crc32(payload.data(), length, Crc32(head, 4));
        if (crc != GetU32(head + 4)) {
            result.damaged = true;
            break;
        }
        const std::string_view bytes(payload.data(), length);
        CodecState trial = result.state;
        if (!PayloadReader(bytes, trial).Run(nullptr)) {
            result.damaged = true;
            break;
        }
        PayloadReader(bytes, result.state).Run(&sink);
        result.goodLength += kBatchHeaderSize + length;
        ++result.batches;
        if (progress) progress(result.goodLength);
    }
    return result;
}

JournalReadResult ReadJournalBytes(const void* data, std::size_t size, JournalSink& sink) {
    const auto* p = static_cast<const char*>(data);
    std::size_t at = 0;
    return ReadJournal(
        [&](char* out, std::size_t n) {
            const std::size_t k = std::min(n, size - at);
            std::memcpy(out, p + at, k);
            at += k;
            return k;
        },
        sink);
}

JournalReadResult ReadJournalFile(const std::string& path, JournalSink& sink,
                                  const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        JournalReadResult result;
        result.error = path + ": " + std::strerror(errno);
        return result;
    }
    std::uint64_t total = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        total = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    std::rewind(file);
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    JournalReadResult result =
        ReadJournal([file](char* out, std::size_t n) { return std::fread(out, 1, n, file); }, sink,
                    [&](std::uint64_t done) {
                        if (progress) progress(done, total);
                    });
    std::fclose(file);
    if (!result.recognised) result.error = path + ": " + result.error;
    return result;
}

}  // namespace corvel
