#include "engine/platform/tweakable.h"

#include <sstream>

namespace velmo {

std::string DData<float>::toString() {
    std::ostringstream out;
    out << value;
    return out.str();
}

} // namespace velmo
