#include "record/ReadingLogStore.h"

#include <climits>
#include <cstring>
#include <stdexcept>

namespace corvel {

ReadingLogStore::ReadingLogStore(std::string timeSeparator) : timeSeparator_(std::move(timeSeparator)) {}

std::string_view ReadingLogStore::Cut(std::string_view text, int width) {
    const auto continuation = [&](std::size_t i) {
        return i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    std::size_t i = 0;
    for (int characters = 0; i < text.size(); ++characters) {
        if (characters == width) return text.substr(0, i);
        const auto lead = static_cast<unsigned char>(text[i++]);
        const int tail = lead >= 0xF0 && lead <= 0xF7   ? 3
                         : lead >= 0xE0 && lead <= 0xEF ? 2
                         : lead >= 0xC0 && lead <= 0xDF ? 1
                                                        : 0;
        for (int k = 0; k < tail && continuation(i); ++k) ++i;
    }
    return text;
}

std::uint32_t ReadingLogStore::TextPool::Intern(std::string_view text) {
    if (texts_[lastId_] == text) return lastId_;
    if (const auto found = ids_.find(text); found != ids_.end()) return lastId_ = found->second;
    const auto id = static_cast<std::uint32_t>(texts_.size());
    ids_.emplace(texts_.emplace_back(text), id);
    return lastId_ = id;
}

void ReadingLogStore::TextPool::Clear() {
    ids_.clear();
    texts_.clear();
    ids_.emplace(texts_.emplace_back(), 0);
    lastId_ = 0;
}

ReadingLogStore::Row& ReadingLogStore::NewRow() {
    if (count_ == INT_MAX) throw std::length_error("the reading log is full");
    if ((count_ & (kBlockRows - 1)) == 0 && (count_ >> kBlockShift) == static_cast<int>(blocks_.size()))
        blocks_.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
    const int row = count_++;
    return blocks_[row >> kBlockShift][row & (kBlockRows - 1)];
}

void ReadingLogStore::PutShort(ShortText& slot, std::string_view text) {
    std::memset(slot.bytes, 0, sizeof slot.bytes);
    if (text.size() <= sizeof slot.bytes) {
        slot.length = static_cast<std::uint8_t>(text.size());
        // An empty view may have no data pointer at all.
        if (!text.empty()) std::memcpy(slot.bytes, text.data(), text.size());
    } else {
        slot.length = kPooled;
        const std::uint32_t id = pool_.Intern(text);
        std::memcpy(slot.bytes, &id, sizeof id);
    }
}

void ReadingLogStore::Append(int no, int secondOfDay, std::string_view value, std::string_view unit,
                             std::string_view value2, std::string_view unit2) {
    if (secondOfDay < 0 || secondOfDay >= 86400) secondOfDay = 0;
    Row& row = NewRow();
    row.no = no;
    row.time = static_cast<std::uint32_t>(secondOfDay);
    row.unit = pool_.Intern(Cut(unit));
    row.unit2 = pool_.Intern(Cut(unit2));
    PutShort(row.value, Cut(value));
    PutShort(row.value2, Cut(value2));
}

void ReadingLogStore::Append(int no, std::string_view time, std::string_view value, std::string_view unit,
                             std::string_view value2, std::string_view unit2) {
    time = Cut(time);
    if (const auto second = ParseTime(time)) {
        Append(no, *second, value, unit, value2, unit2);
        return;
    }
    const std::uint32_t id = pool_.Intern(time);
    Append(no, 0, value, unit, value2, unit2);
    blocks_[(count_ - 1) >> kBlockShift][(count_ - 1) & (kBlockRows - 1)].time = kTimePooled | id;
}

void ReadingLogStore::Clear() {
    blocks_.clear();
    count_ = 0;
    pool_.Clear();
}

// Only a text that formats back to itself is kept as a second of the day.
std::optional<int> ReadingLogStore::ParseTime(std::string_view text) const {
    const std::size_t sep = timeSeparator_.size();
    if (text.size() != 6 + 2 * sep) return std::nullopt;
    if (text.substr(2, sep) != timeSeparator_ || text.substr(4 + sep, sep) != timeSeparator_)
        return std::nullopt;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        const char hi = text[i * (2 + sep)];
        const char lo = text[i * (2 + sep) + 1];
        if (hi < '0' || hi > '9' || lo < '0' || lo > '9') return std::nullopt;
        parts[i] = (hi - '0') * 10 + (lo - '0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

void ReadingLogStore::AppendTime(std::uint32_t time, std::string& out) const {
    if (time & kTimePooled) {
        out += pool_.Get(time & ~kTimePooled);
        return;
    }
    const int second = static_cast<int>(time);
    const int parts[3] = {second / 3600, second / 60 % 60, second % 60};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) out += timeSeparator_;
        out += static_cast<char>('0' + parts[i] / 10);
        out += static_cast<char>('0' + parts[i] % 10);
    }
}

std::string ReadingLogStore::FormatTime(int secondOfDay) const {
    std::string out;
    AppendTime(static_cast<std::uint32_t>(secondOfDay), out);
    return out;
}

void ReadingLogStore::AppendText(int row, int field, std::string& out) const {
    const Row& r = At(row);
    switch (field) {
        case No: out += std::to_string(r.no); break;
        case Time: AppendTime(r.time, out); break;
        case Value: out += GetShort(r.value); break;
        case Unit: out += pool_.Get(r.unit); break;
        case Value2: out += GetShort(r.value2); break;
        case Unit2: out += pool_.Get(r.unit2); break;
        default: break;
    }
}

std::string ReadingLogStore::Text(int row, int field) const {
    std::string out;
    AppendText(row, field, out);
    return out;
}

}  // namespace corvel
