#include "MeterSim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace corvel::sim {

namespace {

bool parseNumber(const std::string& text, double lo, double hi, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v) || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

bool parseWhole(const std::string& text, double lo, double hi, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    return parseNumber(text, lo, hi, value);
}

// The slave side set as a meter line would be: raw bytes, no echo, the baud
// rate the simulator paces at when the system knows it.
void configureSlave(int fd, int baud) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    const speed_t speeds[][2] = {{2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
                                 {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& s : speeds)
        if (static_cast<int>(s[0]) == baud) ::cfsetspeed(&t, s[1]);
    ::tcsetattr(fd, TCSANOW, &t);
}

void sleepSeconds(double seconds) {
    if (seconds <= 0) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    // A signal cuts the sleep short on purpose: the loop then sees `stop`.
    ::nanosleep(&ts, nullptr);
}

class LinkGuard {
public:
    LinkGuard(std::string link, std::string target) : link_(std::move(link)), target_(std::move(target)) {}
    ~LinkGuard() {
        if (link_.empty()) return;
        char buf[4096];
        const ssize_t n = ::readlink(link_.c_str(), buf, sizeof buf - 1);
        if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target_) ::unlink(link_.c_str());
    }
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;

private:
    std::string link_;
    std::string target_;
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string Usage() {
    return "usage: corvel-meter-sim [--birch] [--frames FILE] [--baud N] [--link PATH] [--seconds N] [--seed "
           "N]\n"
           "       corvel-meter-sim --help | --version\n"
           "\n"
           "Streams a simulated air-flow meter on a pseudo-terminal. The slave device's path is the\n"
           "first line printed.\n"
           "\n"
           "  --birch        Birch frames (11 bytes, ending 0x0D) at 19200 baud instead of\n"
           "                 Oak frames (14 bytes) at 2400 baud\n"
           "  --frames FILE  replay the raw bytes of FILE, looped, instead of generated frames\n"
           "  --baud N       pace the line at N baud (10 bits a byte)\n"
           "  --link PATH    make PATH a symbolic link to the slave device while running\n"
           "  --seconds N    stop after N seconds (default: run until SIGTERM or SIGINT)\n"
           "  --seed N       seed of the simulated readings (default 1)\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        double number = 0;
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--birch") {
            if (inlineValue) {
                error = "--birch takes no value";
                return std::nullopt;
            }
            o.family = Family::Birch;
        } else if (name == "--frames") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "--frames needs a file name";
                return std::nullopt;
            }
            o.framesFile = v;
        } else if (name == "--link") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "--link needs a path";
                return std::nullopt;
            }
            o.link = v;
        } else if (name == "--baud") {
            if (!value(v)) return std::nullopt;
            if (!parseWhole(v, 50, 4000000, number)) {
                error = "--baud: \"" + v + "\" is not a baud rate from 50 to 4000000";
                return std::nullopt;
            }
            o.baud = static_cast<int>(number);
        } else if (name == "--seconds") {
            if (!value(v)) return std::nullopt;
            if (!parseNumber(v, 0, 1e7, number) || number <= 0) {
                error = "--seconds: \"" + v + "\" is not a number of seconds above 0";
                return std::nullopt;
            }
            o.seconds = number;
        } else if (name == "--seed") {
            if (!value(v)) return std::nullopt;
            if (!parseWhole(v, 0, 4294967295.0, number)) {
                error = "--seed: \"" + v + "\" is not a whole number from 0 to 4294967295";
                return std::nullopt;
            }
            o.seed = static_cast<std::uint32_t>(number);
        } else {
            error = "unknown option \"" + args[i] + "\"";
            return std::nullopt;
        }
    }
    return o;
}

FrameSource::FrameSource(Family family, int baud, std::uint32_t seed)
    : family_(family), byteSeconds_(10.0 / baud), model_(seed) {}

std::uint8_t FrameSource::Next() {
    if (next_ == frame_.size()) {
        // The meter's time moves on by the frame just sent, then it sends
        // its display as it stands.
        model_.Advance(byteSeconds_ * static_cast<double>(frame_.size()));
        frame_ = family_ == Family::Birch ? BirchFrame(model_.display()) : OakFrame(model_.display());
        next_ = 0;
    }
    return frame_[next_++];
}

ReplaySource::ReplaySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.empty()) bytes_.push_back(0);  // never used: LoadRecording refuses empty files
}

std::uint8_t ReplaySource::Next() {
    const std::uint8_t b = bytes_[next_];
    next_ = (next_ + 1) % bytes_.size();
    return b;
}

std::optional<std::vector<std::uint8_t>> LoadRecording(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "--frames: cannot read \"" + path + "\"";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > kMaxReplayBytes) {
            error = "--frames: \"" + path + "\" is larger than 64 MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "--frames: error reading \"" + path + "\"";
        return std::nullopt;
    }
    if (bytes.empty()) {
        error = "--frames: \"" + path + "\" is empty";
        return std::nullopt;
    }
    return bytes;
}

std::uint64_t LinePacer::BytesDue(double seconds) const {
    if (!(seconds > 0)) return 0;
    return static_cast<std::uint64_t>(std::floor(seconds * bytesPerSecond_ + 1e-9));
}

int Run(const Options& options, std::ostream& out, std::ostream& err,
        const volatile std::sig_atomic_t& stop) {
    std::unique_ptr<ByteSource> source;
    const int baud = options.EffectiveBaud();
    if (!options.framesFile.empty()) {
        std::string error;
        auto bytes = LoadRecording(options.framesFile, error);
        if (!bytes) {
            err << "corvel-meter-sim: " << error << '\n';
            return 1;
        }
        source = std::make_unique<ReplaySource>(std::move(*bytes));
    } else {
        source = std::make_unique<FrameSource>(options.family, baud, options.seed);
    }

    Fd master(::posix_openpt(O_RDWR | O_NOCTTY));
    char path[256] = {};
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
        ::ptsname_r(master.get(), path, sizeof path) != 0) {
        err << "corvel-meter-sim: cannot open a pseudo-terminal: " << std::strerror(errno) << '\n';
        return 1;
    }
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    // Held open for the whole run: the line keeps its raw settings between
    // readers, and the master never sees a hang-up when a reader leaves.
    Fd slave(::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (slave.get() < 0) {
        err << "corvel-meter-sim: cannot open " << path << ": " << std::strerror(errno) << '\n';
        return 1;
    }
    configureSlave(slave.get(), baud);

    if (!options.link.empty()) {
        struct stat st {};
        if (::lstat(options.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                err << "corvel-meter-sim: --link: " << options.link << " exists and is not a symbolic link\n";
                return 1;
            }
            ::unlink(options.link.c_str());
        }
        if (::symlink(path, options.link.c_str()) != 0) {
            err << "corvel-meter-sim: --link: cannot make " << options.link << ": " << std::strerror(errno)
                << '\n';
            return 1;
        }
    }
    LinkGuard guard(options.link, path);

    out << path << '\n' << std::flush;

    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    auto lineStart = begin;
    const LinePacer pacer(baud);
    const double bytesPerSecond = baud / 10.0;
    std::uint64_t sent = 0;
    std::vector<std::uint8_t> chunk;
    auto secondsSince = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    };

    while (!stop) {
        if (options.seconds > 0 && secondsSince(begin) >= options.seconds) break;
        std::uint64_t due = pacer.BytesDue(secondsSince(lineStart));
        if (due > sent + static_cast<std::uint64_t>(bytesPerSecond) + 1) {
            // Far behind (the process was stopped, say): a line cannot catch
            // up, it just goes on from now.
            lineStart = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(pacer.SecondsFor(sent)));
            due = sent;
        }
        chunk.clear();
        for (; sent < due; ++sent) chunk.push_back(source->Next());
        if (!chunk.empty()) {
            // Nobody listening, or not fast enough: the bytes are gone, as on
            // a real line.
            [[maybe_unused]] const ssize_t n = ::write(master.get(), chunk.data(), chunk.size());
        }
        // Whatever a reader sends to the meter is not listened to.
        char sink[256];
        while (::read(master.get(), sink, sizeof sink) > 0) {
        }

        double wait = pacer.SecondsFor(sent + 1) - secondsSince(lineStart);
        wait = std::clamp(wait, 0.002, 0.02);
        if (options.seconds > 0) wait = std::min(wait, std::max(0.0, options.seconds - secondsSince(begin)));
        sleepSeconds(wait);
    }
    return 0;
}

}  // namespace corvel::sim
