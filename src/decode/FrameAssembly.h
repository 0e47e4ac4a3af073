#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvel {

// The three decoders a frame handler can hand a frame to. Each reads the
// frame from FrameAssembly::CurrentFrame() while it runs.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void LcdDisplayOak() = 0;
    virtual void LcdDisplayBirch() = 0;
    virtual void LcdDisplayPine() = 0;
};

// Turns byte chunks from the serial driver, the serial component and the HID
// bridge into frames of hexadecimal digit text and calls the decoder each
// frame is meant for. Everything runs on one thread; the delivered bytes are
// copied before a handler returns.
class FrameAssembly {
public:
    explicit FrameAssembly(FrameSink& sink) : sink_(sink) {}

    // Polled driver, Oak meters: 14 bytes whose upper digits count 1..E.
    void HOakRData(const std::uint8_t* data, std::int32_t size);
    // Polled driver, Birch meters: frames end in 0x0D, first digit A.
    void HBirchRData(const std::uint8_t* data, std::int32_t size);
    // Serial component, Pine meters: frames end in CR LF, second digit F.
    void CComm1ReceiveData(const std::uint8_t* buffer, std::uint32_t length);
    // One HID input report (the bytes after the report id): a count byte
    // and payload, or an empty report that makes the frame search run.
    void HidDataToFrame(const std::uint8_t* data, std::uint16_t size);

    const std::string& CurrentFrame() const { return currentFrame_; }
    const std::string& FrameNibbles() const { return frameNibbles_; }
    const std::string& FramePositions() const { return framePositions_; }
    const std::string& HidFrameText() const { return hidFrameText_; }
    bool HidFramePending() const { return hidFramePending_; }
    std::int32_t EmptyReportCount() const { return emptyReportCount_; }
    // The link watch releases the USB link at 1000 and starts counting anew.
    void ResetEmptyReportCount() { emptyReportCount_ = 0; }

    // While the print preview is open HID frames are consumed and dropped.
    void SetPrintPreviewOpen(bool open) { printPreviewOpen_ = open; }
    bool PrintPreviewOpen() const { return printPreviewOpen_; }

    // A frame end that never comes must not grow memory. The decoders read
    // at most 32 frame positions, so a collection longer than this holds no
    // frame they could use; see the .cpp for how each one is trimmed.
    static constexpr std::size_t kMaxNibbles = 64;      // Oak/Birch digits
    static constexpr std::size_t kMaxHexText = 4096;    // CR LF collections

private:
    void appendNibble(char lower, char upper, bool withPosition);
    static void boundHexText(std::string& text);

    FrameSink& sink_;
    std::string currentFrame_;
    std::string frameNibbles_;
    std::string framePositions_;
    std::string hidFrameText_;
    bool hidFramePending_ = false;
    std::int32_t emptyReportCount_ = 0;
    bool printPreviewOpen_ = false;
};

// Position (0-based) of the first CR LF in a text of hex byte pairs, looked
// for at byte boundaries only, or std::string::npos.
std::size_t FindCrLf(const std::string& hex, std::size_t from = 0);

}  // namespace corvel
