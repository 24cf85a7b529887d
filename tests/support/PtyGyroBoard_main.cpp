// PtyGyroBoard: a serial gyro board on a pseudo-terminal, for the serial link tests.
//
//   PtyGyroBoard SCENARIO [SECONDS]
//
// Prints the slave device path on the first line of stdout, waits for the start byte 0x72 on the
// master side, then streams packets as the scenario says, one packet every 5 ms:
//   clean      the example packet (1, -1, 1.99994, -2) for ever
//   midpacket  the stream enters the example packet at its byte 6, 40 packets, then the final
//              packet (0.5, 0, 0, 0.5) for ever
//   garbage    6 rounds of 20 example packets followed by 3 garbage bytes, then the final packet
//   lost       6 rounds of 19 example packets and one with a byte missing, then the final packet
//   silent     nothing at all
//   unplug     60 example packets, then the board exits (the pty goes away)
//   turn       the head turning left and right about the sensor's z axis, ±60° every 4 s
// Before the stream it sends a few bytes and pauses, so that the link's purge after the first
// answer byte has happened before the scenario begins. Every wait is bounded: the board exits on
// its own after SECONDS (default 30), or with 3 when the start byte never comes.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

const Bytes ExamplePacket{0x24, 0x02, 0x40, 0x00, 0xC0, 0x00, 0x7F, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x0D, 0x0A};
const Bytes FinalPacket{0x24, 0x02, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x0D, 0x0A};

constexpr int DefaultLifetimeSeconds = 30;
constexpr auto PacketPeriod = std::chrono::milliseconds(5);
constexpr auto PurgePause = std::chrono::milliseconds(400);

void append(Bytes& out, const Bytes& bytes, std::size_t from = 0, std::size_t skip = SIZE_MAX)
{
    for (std::size_t i = from; i < bytes.size(); ++i)
        if (i != skip)
            out.push_back(bytes[i]);
}

// The scenario as a prefix followed by a packet repeated for ever (none: the board then exits),
// or, for the turning head, a packet computed for each moment.
struct Stream
{
    Bytes prefix;
    const Bytes* repeat = nullptr;
    bool turn = false;
};

void appendComponent(Bytes& out, double v)
{
    const int fixed = static_cast<int>(std::lround(v * 16384.0)) & 0xFFFF;
    out.push_back(static_cast<unsigned char>(fixed >> 8));
    out.push_back(static_cast<unsigned char>(fixed & 0xFF));
}

// A turn by angle about z: (cos(angle/2), 0, 0, sin(angle/2)).
Bytes turnPacket(double seconds)
{
    const double pi = 3.14159265358979323846;
    const double angle = (60.0 * pi / 180.0) * std::sin(2.0 * pi * seconds / 4.0);
    Bytes p{0x24, 0x02};
    appendComponent(p, std::cos(angle / 2));
    appendComponent(p, 0.0);
    appendComponent(p, 0.0);
    appendComponent(p, std::sin(angle / 2));
    p.insert(p.end(), {0x00, 0x00, 0x0D, 0x0A});
    return p;
}

bool makeStream(const std::string& scenario, Stream& s)
{
    if (scenario == "clean") {
        s.repeat = &ExamplePacket;
    } else if (scenario == "midpacket") {
        append(s.prefix, ExamplePacket, 6);
        for (int i = 0; i < 40; ++i)
            append(s.prefix, ExamplePacket);
        s.repeat = &FinalPacket;
    } else if (scenario == "garbage") {
        for (int r = 0; r < 6; ++r) {
            for (int i = 0; i < 20; ++i)
                append(s.prefix, ExamplePacket);
            append(s.prefix, Bytes{0x24, 0xFF, 0x13}); // a "$" alone does not start a packet
        }
        s.repeat = &FinalPacket;
    } else if (scenario == "lost") {
        for (int r = 0; r < 6; ++r) {
            for (int i = 0; i < 19; ++i)
                append(s.prefix, ExamplePacket);
            append(s.prefix, ExamplePacket, 0, r % 2 == 0 ? 1 : 7); // mark byte or a data byte lost
        }
        s.repeat = &FinalPacket;
    } else if (scenario == "unplug") {
        for (int i = 0; i < 60; ++i)
            append(s.prefix, ExamplePacket);
    } else if (scenario == "turn") {
        s.turn = true;
    } else if (scenario != "silent") {
        return false;
    }
    return true;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size, Clock::time_point deadline)
{
    while (size > 0) {
        if (Clock::now() >= deadline)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::write(fd, data, size);
        if (n < 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Stream stream;
    const int lifetime = argc == 3 ? std::atoi(argv[2]) : DefaultLifetimeSeconds;
    if (argc < 2 || argc > 3 || !makeStream(argv[1], stream) || lifetime <= 0) {
        std::fprintf(stderr,
                     "usage: PtyGyroBoard clean|midpacket|garbage|lost|silent|unplug|turn [SECONDS]\n");
        return 2;
    }
    const std::string scenario = argv[1];
    const auto deadline = Clock::now() + std::chrono::seconds(lifetime);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (!slaveName) {
        std::perror("ptsname");
        return 1;
    }
    const std::string slavePath = slaveName;
    // Holding the slave open keeps the pty from hanging up between the link's open and close,
    // and raw mode keeps the line discipline from rewriting packet bytes such as 0x0D.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("open slave");
        return 1;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    bool started = false;
    while (!started && Clock::now() < deadline) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        unsigned char buf[64];
        const ssize_t n = ::read(master, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i)
            started = started || buf[i] == 0x72;
    }
    if (!started)
        return 3;
    std::printf("started\n");
    std::fflush(stdout);

    if (scenario == "silent") {
        while (Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return 0;
    }

    // The answer the link waits for; it is discarded by the link together with anything else
    // that arrives before its purge.
    if (!writeAll(master, ExamplePacket.data() + 9, 5, deadline))
        return 1;
    std::this_thread::sleep_for(PurgePause);

    const auto begin = Clock::now();
    auto next = begin;
    std::size_t pos = 0;
    Bytes turning;
    while (Clock::now() < deadline) {
        const unsigned char* chunk = nullptr;
        std::size_t size = 0;
        if (stream.turn) {
            turning = turnPacket(std::chrono::duration<double>(Clock::now() - begin).count());
            chunk = turning.data();
            size = turning.size();
        } else if (pos < stream.prefix.size()) {
            chunk = stream.prefix.data() + pos;
            size = std::min<std::size_t>(14, stream.prefix.size() - pos);
            pos += size;
        } else if (stream.repeat) {
            chunk = stream.repeat->data();
            size = stream.repeat->size();
        } else {
            break; // unplug: the stream is over and the board goes away
        }
        if (!writeAll(master, chunk, size, deadline))
            return 1;
        next += PacketPeriod;
        std::this_thread::sleep_until(next);
    }
    ::close(slave);
    ::close(master);
    return 0;
}
