#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "support/scratch.h"
#include "trace.h"

namespace {

// The audio thread traces while the main thread does, and the end-to-end scripts read the
// trace line by line. Two threads write many lines each, some longer than a typical line;
// every line arrives whole, on its own, in its writer's order.
TEST(Trace, LinesFromTwoThreadsArriveWhole) {
    ScratchDir dir;
    const std::string path = dir.file("run.trace");
    ASSERT_EQ(::setenv("VELMO_PORT_TRACE", path.c_str(), 1), 0);
    ASSERT_TRUE(port::tracing());

    constexpr unsigned linesEach = 200000;
    const std::string padding(1500, 'x');
    std::thread audio([&] {
        for (unsigned i = 0; i < linesEach; ++i) {
            port::trace("audio stall: the stream skips %u ms %.*s", i,
                        int(i % 3 == 0 ? i % 1500 : 0), padding.c_str());
        }
    });
    for (unsigned i = 0; i < linesEach; ++i) {
        port::trace("position %u", i);
    }
    audio.join();

    // A line is whole when it is one writer's line exactly; each writer's lines come in order.
    const auto number = [](const std::string& line, size_t from, size_t& to) -> long {
        to = from;
        while (to < line.size() && std::isdigit(static_cast<unsigned char>(line[to]))) {
            ++to;
        }
        return to > from && to - from < 10 ? std::stol(line.substr(from, to - from)) : -1;
    };
    const std::string positionText = "position ";
    const std::string stallText = "audio stall: the stream skips ";
    std::ifstream in(path);
    std::string line;
    long positions = 0;
    long stalls = 0;
    long lastPosition = -1;
    long lastStall = -1;
    unsigned broken = 0;
    unsigned outOfOrder = 0;
    std::string firstBroken;
    while (std::getline(in, line)) {
        size_t end = 0;
        if (line.starts_with(positionText)) {
            const long n = number(line, positionText.size(), end);
            if (n >= 0 && end == line.size()) {
                outOfOrder += n <= std::exchange(lastPosition, n);
                ++positions;
                continue;
            }
        } else if (line.starts_with(stallText)) {
            const long n = number(line, stallText.size(), end);
            const size_t pad = n % 3 == 0 ? size_t(n) % 1500 : 0;
            if (n >= 0 && line.substr(end) == " ms " + padding.substr(0, pad)) {
                outOfOrder += n <= std::exchange(lastStall, n);
                ++stalls;
                continue;
            }
        }
        if (broken++ == 0) {
            firstBroken = line.substr(0, 120);
        }
    }
    EXPECT_EQ(broken, 0u) << "lines not whole; the first: " << firstBroken;
    EXPECT_EQ(outOfOrder, 0u);
    EXPECT_EQ(positions, long(linesEach));
    EXPECT_EQ(stalls, long(linesEach));
}

} // namespace
