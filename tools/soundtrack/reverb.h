// A Schroeder-Moorer room (eight damped combs and four all-passes per side) that turns the mono
// reverb send into a stereo tail.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace velmo::soundtrack {

class Reverb {
public:
    Reverb();
    // One sample of send in, one sample of wet signal out per side.
    void process(double in, double& outL, double& outR);

private:
    struct Comb {
        std::vector<double> buf;
        std::size_t pos = 0;
        double store = 0;
        double tick(double in, double feedback, double damp);
    };
    struct Allpass {
        std::vector<double> buf;
        std::size_t pos = 0;
        double tick(double in);
    };
    std::array<std::array<Comb, 8>, 2> combs_;
    std::array<std::array<Allpass, 4>, 2> allpasses_;
};

} // namespace velmo::soundtrack
