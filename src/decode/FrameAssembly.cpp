#include "decode/FrameAssembly.h"

#include <limits>
#include <string_view>

namespace corvel {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::string_view kOakPositions = "123456789ABCDE";

char upperDigit(std::uint8_t b) { return kHex[b >> 4]; }
char lowerDigit(std::uint8_t b) { return kHex[b & 0x0F]; }

// The part of a hex text the decoders can ever see is its first 32 bytes; a
// trimmed collection keeps those, and the last byte pair, so that a CR LF
// completed by the next chunk is still found where it would have been.
constexpr std::size_t kKeptHead = 64;

}  // namespace

std::size_t FindCrLf(const std::string& hex, std::size_t from) {
    // A terminator is the byte 0x0D followed by the byte 0x0A. Matching the
    // text "0D0A" at odd offsets would also take the bytes 30 D0 A5 for one.
    for (std::size_t i = from + (from & 1U); i + 3 < hex.size(); i += 2) {
        if (hex[i] == '0' && hex[i + 1] == 'D' && hex[i + 2] == '0' && hex[i + 3] == 'A') {
            return i;
        }
    }
    return std::string::npos;
}

void FrameAssembly::appendNibble(char lower, char upper, bool withPosition) {
    // Past the bound the frame can no longer pass either check in a way the
    // decoders would read differently: the Oak check needs exactly 14 digits,
    // the Birch check reads digits 1 and 11, the decoders digits 1 to 32.
    if (frameNibbles_.size() >= kMaxNibbles) return;
    frameNibbles_.push_back(lower);
    if (withPosition) framePositions_.push_back(upper);
}

void FrameAssembly::boundHexText(std::string& text) {
    if (text.size() <= kMaxHexText) return;
    // A backlog of complete frames: the oldest are stale, drop them first.
    std::size_t p;
    while (text.size() > kMaxHexText && (p = FindCrLf(text)) != std::string::npos) {
        text.erase(0, p + 4);
    }
    if (text.size() <= kMaxHexText) return;
    // No frame end at all: keep the head the decoders read and the last pair
    // (keeping its alignment), drop the middle.
    const std::size_t tail = (text.size() % 2 == 0) ? 2 : 3;
    text.erase(kKeptHead, text.size() - kKeptHead - tail);
}

void FrameAssembly::HOakRData(const std::uint8_t* data, std::int32_t size) {
    for (std::int32_t i = 0; i < size; ++i) {
        const char u = upperDigit(data[i]);
        appendNibble(lowerDigit(data[i]), u, true);
        if (u != 'E') continue;
        currentFrame_ = frameNibbles_;
        const bool accepted = framePositions_ == kOakPositions;
        frameNibbles_.clear();
        framePositions_.clear();
        if (accepted) sink_.LcdDisplayOak();
    }
}

void FrameAssembly::HBirchRData(const std::uint8_t* data, std::int32_t size) {
    for (std::int32_t i = 0; i < size; ++i) {
        if (data[i] != 0x0D) {
            appendNibble(lowerDigit(data[i]), 0, false);
            continue;
        }
        appendNibble('D', 0, false);
        currentFrame_ = frameNibbles_;
        const bool accepted =
            frameNibbles_.size() >= 11 && frameNibbles_[0] == 'A' && frameNibbles_[10] == 'D';
        frameNibbles_.clear();
        if (accepted) sink_.LcdDisplayBirch();
    }
}

void FrameAssembly::CComm1ReceiveData(const std::uint8_t* buffer, std::uint32_t length) {
    currentFrame_.reserve(currentFrame_.size() + 2 * std::size_t{length});
    for (std::uint32_t i = 0; i < length; ++i) {
        currentFrame_.push_back(upperDigit(buffer[i]));
        currentFrame_.push_back(lowerDigit(buffer[i]));
    }
    const std::size_t p = FindCrLf(currentFrame_);
    if (p == std::string::npos) {
        boundHexText(currentFrame_);
        return;
    }
    std::string collected = std::move(currentFrame_);
    const std::size_t frameLength = p + 4;  // through the "0D0A"
    std::string frame;
    for (std::size_t i = 1; i < frameLength && i < 64; i += 2) frame.push_back(collected[i]);
    const bool accepted = frameLength > 3 && collected[3] == 'F';
    currentFrame_ = std::move(frame);
    if (accepted) sink_.LcdDisplayPine();
    // At most one frame a chunk; what followed the terminator starts the next.
    currentFrame_.assign(collected, frameLength);
    boundHexText(currentFrame_);
}

void FrameAssembly::HidDataToFrame(const std::uint8_t* data, std::uint16_t size) {
    // The count digit is the lower digit of the first byte, read as decimal.
    int count = 0;
    if (size >= 1) {
        const int lower = data[0] & 0x0F;
        if (lower >= 1 && lower <= 9) count = lower;
    }
    if (count >= 1) {
        emptyReportCount_ = 0;
        const std::size_t available = std::size_t{size} - 1;
        const std::size_t take = std::min<std::size_t>(std::size_t(count), available);
        for (std::size_t i = 1; i <= take; ++i) {
            hidFrameText_.push_back(upperDigit(data[i]));
            hidFrameText_.push_back(lowerDigit(data[i]));
        }
        boundHexText(hidFrameText_);
        hidFramePending_ = true;
        return;
    }
    if (!hidFramePending_) {
        if (emptyReportCount_ < std::numeric_limits<std::int32_t>::max()) ++emptyReportCount_;
        return;
    }
    const std::size_t p = FindCrLf(hidFrameText_);
    if (p != std::string::npos) {
        if (hidFrameText_.compare(0, 2, "30") == 0) {
            const std::size_t frameLength = p + 4;
            // Each HID frame starts from an empty text: the type digit must
            // come from this frame, not from a serial frame left behind.
            currentFrame_.clear();
            for (std::size_t i = 1; i < frameLength; i += 2) currentFrame_.push_back(hidFrameText_[i]);
            int type = -1;
            if (currentFrame_.size() >= 2) {
                const char t = currentFrame_[1];
                type = (t <= '9') ? t - '0' : t - 'A' + 10;
            }
            if (!printPreviewOpen_) {
                if (type == 0 || type == 1) {
                    sink_.LcdDisplayOak();
                } else if (type == 3) {
                    sink_.LcdDisplayBirch();
                } else if (type == 15) {
                    sink_.LcdDisplayPine();
                }
            }
            currentFrame_.clear();
        }
        hidFrameText_.erase(0, p + 4);
    }
    hidFramePending_ = !hidFrameText_.empty();
}

}  // namespace corvel
