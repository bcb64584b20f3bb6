// The port's side of every object a device makes.
#pragma once

namespace port::d3d9 {

class Device;

// Registered with its device, so that releasing the device can free the GL objects of
// whatever the program still holds references to. After that the object is detached: its
// reference count still works, everything else fails.
class DeviceChild {
public:
    DeviceChild(const DeviceChild&) = delete;
    DeviceChild& operator=(const DeviceChild&) = delete;

    // The device, or null once the device has gone.
    Device* device() const { return owner; }

    // Called by the device as it goes away, with its GL context current: deletes the GL
    // objects and lets go of the device.
    virtual void detach() = 0;

protected:
    explicit DeviceChild(Device* device);
    virtual ~DeviceChild();

    Device* owner;
};

} // namespace port::d3d9
