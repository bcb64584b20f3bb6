// The wall clock in milliseconds: monotonic, 32-bit and wrapping; tests may substitute it.
#include <chrono>

#include <port_testing.h>

namespace {

port::testing::Clock& substitute() {
    static port::testing::Clock c;
    return c;
}

} // namespace

void port::testing::setClock(Clock clock) {
    substitute() = std::move(clock);
}

DWORD timeGetTime() {
    if (substitute()) {
        return substitute()();
    }
    using namespace std::chrono;
    static const steady_clock::time_point epoch = steady_clock::now();
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now() - epoch).count());
}
