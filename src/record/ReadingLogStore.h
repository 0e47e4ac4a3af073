#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvel {

// The rows of the reading log, kept compact: a long run of "limitless"
// logging reaches ten million rows, so a row is a fixed 40 bytes with no
// heap allocation of its own. Short value texts live in the row, unit texts
// and anything unusual are interned once in a text pool, and a time of day
// is kept as its second of the day and formatted when asked for.
class ReadingLogStore {
public:
    enum Field { No, Time, Value, Unit, Value2, Unit2 };
    static constexpr int kFieldCount = 6;
    // Texts are cut to this many characters.
    static constexpr int kTextWidth = 20;

    explicit ReadingLogStore(std::string timeSeparator = ":");

    int RowCount() const { return count_; }
    int RecordNo(int row) const { return At(row).no; }
    // The row's time as a second of the day; nothing when the row keeps a
    // time text of another form.
    std::optional<int> SecondOfDay(int row) const {
        const std::uint32_t t = At(row).time;
        if (t & kTimePooled) return std::nullopt;
        return static_cast<int>(t);
    }
    // The text of a field (No in decimal); row and field must be in range.
    std::string Text(int row, int field) const;
    // A text field (Value, Unit, Value2, Unit2) without copying it; valid
    // until the store changes.
    std::string_view TextView(int row, int field) const {
        const Row& r = At(row);
        switch (field) {
            case Value: return GetShort(r.value);
            case Unit: return pool_.Get(r.unit);
            case Value2: return GetShort(r.value2);
            case Unit2: return pool_.Get(r.unit2);
            default: return {};
        }
    }
    // Appends to `out` instead, so a caller walking many rows reuses one
    // buffer.
    void AppendText(int row, int field, std::string& out) const;
    // Which texts two rows share: bit 0 Value, 1 Unit, 2 Value2, 3 Unit2.
    // Compares what the rows hold, not the texts, so it costs a few integer
    // compares: the crash journal asks it for every logged row.
    unsigned SameTexts(int row, int other) const {
        const Row& a = At(row);
        const Row& b = At(other);
        return (Same(a.value, b.value) ? 1u : 0u) | (a.unit == b.unit ? 2u : 0u) |
               (Same(a.value2, b.value2) ? 4u : 0u) | (a.unit2 == b.unit2 ? 8u : 0u);
    }

    // Appends a row; texts longer than kTextWidth characters are cut. A time
    // is given either as seconds of the day or as text (rows read from a
    // file carry whatever text they had).
    void Append(int no, int secondOfDay, std::string_view value, std::string_view unit,
                std::string_view value2, std::string_view unit2);
    void Append(int no, std::string_view time, std::string_view value, std::string_view unit,
                std::string_view value2, std::string_view unit2);
    void Clear();

    const std::string& TimeSeparator() const { return timeSeparator_; }
    // "hh<sep>mm<sep>ss" for a second of the day.
    std::string FormatTime(int secondOfDay) const;

    // The first `width` characters of a UTF-8 text (bytes that do not form
    // UTF-8 count one character each).
    static std::string_view Cut(std::string_view text, int width = kTextWidth);

private:
    // A text of up to 11 bytes kept in place; longer ones are a pool id.
    // Unused bytes are zero, so two slots hold the same text exactly when
    // their twelve bytes are the same.
    struct ShortText {
        std::uint8_t length;  // kPooled: bytes hold a pool id
        char bytes[11];
    };
    static constexpr std::uint8_t kPooled = 0xFF;
    struct Row {
        std::int32_t no;
        std::uint32_t time;  // second of the day, or kTimePooled | pool id
        std::uint32_t unit;  // pool ids
        std::uint32_t unit2;
        ShortText value;
        ShortText value2;
    };
    static_assert(sizeof(Row) == 40);
    static constexpr std::uint32_t kTimePooled = 0x80000000u;

    // Rows live in fixed blocks, so appending never moves what is logged
    // and costs the same at any size.
    static constexpr int kBlockShift = 16;
    static constexpr int kBlockRows = 1 << kBlockShift;

    // Interned texts, each stored once; ids are indexes into `texts_`.
    class TextPool {
    public:
        TextPool() { Clear(); }
        std::uint32_t Intern(std::string_view text);
        std::string_view Get(std::uint32_t id) const { return texts_[id]; }
        void Clear();

    private:
        std::deque<std::string> texts_;  // a deque never moves its strings
        std::unordered_map<std::string_view, std::uint32_t> ids_;
        std::uint32_t lastId_ = 0;  // readings repeat their units: try it first
    };

    const Row& At(int row) const { return blocks_[row >> kBlockShift][row & (kBlockRows - 1)]; }
    Row& NewRow();
    void PutShort(ShortText& slot, std::string_view text);
    std::string_view GetShort(const ShortText& slot) const {
        if (slot.length != kPooled) return {slot.bytes, slot.length};
        std::uint32_t id;
        std::memcpy(&id, slot.bytes, sizeof id);
        return pool_.Get(id);
    }
    static bool Same(const ShortText& x, const ShortText& y) {
        static_assert(sizeof(ShortText) == 12);
        std::uint64_t x8, y8;
        std::uint32_t x4, y4;
        std::memcpy(&x8, &x, 8);
        std::memcpy(&y8, &y, 8);
        std::memcpy(&x4, reinterpret_cast<const char*>(&x) + 8, 4);
        std::memcpy(&y4, reinterpret_cast<const char*>(&y) + 8, 4);
        return x8 == y8 && x4 == y4;
    }
    std::optional<int> ParseTime(std::string_view text) const;
    void AppendTime(std::uint32_t time, std::string& out) const;

    std::vector<std::unique_ptr<Row[]>> blocks_;
    int count_ = 0;
    TextPool pool_;
    std::string timeSeparator_;
};

}  // namespace corvel
