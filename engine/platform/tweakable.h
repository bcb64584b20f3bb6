#pragma once

#include <cstdint>
#include <string>

namespace velmo {

// A named value that can be listed or shown as text. Tweakable values live until the process
// ends and are never deleted, so the interface has no virtual destructor.
class IDData {
public:
    virtual std::string toString() = 0;
    virtual void setFrom(int32_t value) = 0;

protected:
    ~IDData() = default;
};

template <typename T> class DData;

template <> class DData<float> : public IDData {
public:
    DData(std::string name, float value) : name(std::move(name)), value(value) {}

    // The value with a stream's default float formatting (six significant digits).
    std::string toString() override;
    void setFrom(int32_t) override {}

    std::string name;
    float value;
};

} // namespace velmo
