// Renders the production at chosen demo times and saves each frame as a PNG: a test aid for
// looking at the scenes, run from the build tree's root so that data/ is found.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "production_run.h"

namespace {

void usage(FILE* to) {
    std::fprintf(
        to, "usage: velmo_capture [--size WxH] [--fps N] [--from SECONDS] --out DIR T1 [T2 ...]\n"
            "  Runs the production (run it from the build folder, beside data/) on a\n"
            "  substituted clock: frames every 1/N s of demo time (default 60) from 0, or\n"
            "  from --from SECONDS after loading every scene, with the fixed 50 ms updates,\n"
            "  and saves the back buffer at each demo time Ti (seconds) as\n"
            "  DIR/frame_<Ti>.png, e.g. frame_044.00.png. The same arguments give the same\n"
            "  frames. Size defaults to 640x480; the video driver to SDL's offscreen one.\n");
}

bool parseSeconds(const char* text, unsigned& ms) {
    char* end = nullptr;
    const double s = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(s >= 0.0) || s > 4000000.0) {
        return false;
    }
    ms = static_cast<unsigned>(s * 1000.0 + 0.5);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    unsigned width = 640, height = 480, fps = 60, fromMs = 0;
    std::string out;
    std::set<unsigned> times;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--size" && hasValue) {
            if (!parseSize(argv[++i], width, height)) {
                std::fprintf(stderr, "velmo_capture: bad size %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--fps" && hasValue) {
            fps = static_cast<unsigned>(std::atoi(argv[++i]));
            if (fps == 0 || fps > 1000) {
                std::fprintf(stderr, "velmo_capture: bad fps %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--from" && hasValue) {
            if (!parseSeconds(argv[++i], fromMs)) {
                std::fprintf(stderr, "velmo_capture: bad time %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else {
            unsigned ms = 0;
            if (!parseSeconds(argv[i], ms)) {
                std::fprintf(stderr, "velmo_capture: unknown argument %s\n", argv[i]);
                usage(stderr);
                return 2;
            }
            times.insert(ms);
        }
    }
    if (out.empty() || times.empty()) {
        usage(stderr);
        return 2;
    }
    if (*times.begin() < fromMs) {
        std::fprintf(stderr, "velmo_capture: a time lies before --from\n");
        return 2;
    }
    if (!std::filesystem::is_directory("data")) {
        std::fprintf(stderr, "velmo_capture: no data/ here: run it from the build folder\n");
        return 1;
    }
    std::filesystem::create_directories(out);

    ProductionRun run(width, height, false);
    if (!run.ready()) {
        std::fprintf(stderr, "velmo_capture: %s\n", run.problem().c_str());
        return 1;
    }
    if (!run.musicPlays()) {
        std::fprintf(stderr, "velmo_capture: warning: %s\n", run.problem().c_str());
    }
    std::printf("loaded in %.2f s\n", run.loadSeconds());

    // Frames on the grid of the render step, plus one exactly at each capture time.
    run.skipTo(fromMs);
    unsigned frame = 0;
    unsigned ms = fromMs;
    int failures = 0;
    for (unsigned capture : times) {
        while (ms < capture) {
            run.frameAt(ms);
            ++frame;
            ms = fromMs + static_cast<unsigned>(uint64_t(frame) * 1000 / fps);
        }
        run.frameAt(capture);
        char name[64];
        std::snprintf(name, sizeof name, "frame_%06.2f.png", capture / 1000.0);
        const std::string path = (std::filesystem::path(out) / name).string();
        if (run.saveBackBuffer(path)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "velmo_capture: could not save %s\n", path.c_str());
            ++failures;
        }
        if (ms == capture) {
            ++frame;
            ms = fromMs + static_cast<unsigned>(uint64_t(frame) * 1000 / fps);
        }
    }
    return failures == 0 ? 0 : 1;
}
