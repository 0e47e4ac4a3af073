#pragma once

// The meter simulator's parts that tests can drive: its command line, the
// byte sources and the pacing of the line.

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/ReadingModel.h"

namespace corvel::sim {

enum class Family { Oak, Birch };

struct Options {
    Family family = Family::Oak;
    int baud = 0;            // 0: the family's own rate (Oak 2400, Birch 19200)
    std::string framesFile;  // replay these bytes instead of generated frames
    std::string link;        // a symlink to the slave device
    double seconds = 0;      // 0: until killed
    std::uint32_t seed = 1;
    bool help = false;
    bool version = false;

    int EffectiveBaud() const { return baud > 0 ? baud : family == Family::Birch ? 19200 : 2400; }
};

std::string Usage();

// Parses argv[1..]; on a mistake returns nothing and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The bytes the meter sends, one at a time, without end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint8_t Next() = 0;
};

// Frames of the simulated meter. Simulated time moves with the bytes sent,
// so the readings follow the line's pace whatever the machine does.
class FrameSource : public ByteSource {
public:
    FrameSource(Family family, int baud, std::uint32_t seed);
    std::uint8_t Next() override;
    const ReadingModel& model() const { return model_; }
    // The frame being sent.
    const std::vector<std::uint8_t>& frame() const { return frame_; }

private:
    Family family_;
    double byteSeconds_;
    ReadingModel model_;
    std::vector<std::uint8_t> frame_;
    std::size_t next_ = 0;
};

// Recorded bytes, over and over. Refuses an empty recording, which would
// have nothing to loop over.
class ReplaySource : public ByteSource {
public:
    explicit ReplaySource(std::vector<std::uint8_t> bytes);
    std::uint8_t Next() override;

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t next_ = 0;
};

// Largest recording --frames takes, so a wrong file cannot eat the memory.
constexpr std::size_t kMaxReplayBytes = 64u * 1024 * 1024;

// Loads a recording for --frames; nothing (and `error`) when the file is
// missing, empty or too big.
std::optional<std::vector<std::uint8_t>> LoadRecording(const std::string& path, std::string& error);

// How many bytes a line of `baud` (10 bits a byte: start, 8 data, stop) has
// carried after `seconds`.
class LinePacer {
public:
    explicit LinePacer(int baud) : bytesPerSecond_(baud / 10.0) {}
    std::uint64_t BytesDue(double seconds) const;
    double SecondsFor(std::uint64_t bytes) const { return static_cast<double>(bytes) / bytesPerSecond_; }

private:
    double bytesPerSecond_;
};

// Opens a pseudo-terminal, prints its slave path as the first line of `out`,
// makes the --link, and streams until `stop` is set or the time is up.
// Returns the process exit code.
int Run(const Options& options, std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t& stop);

}  // namespace corvel::sim
