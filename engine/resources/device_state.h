#pragma once

#include <list>
#include <set>
#include <string>
#include <vector>

#include <d3d9.h>

namespace velmo {

class IDData;
class Texture;

// The engine's record of the Direct3D device and of everything made through it, so that all
// of it can be freed at exit.
class DeviceState {
public:
    // Loads a texture from the bytes the file cache holds for the name; registered, returned
    // even when loading failed. Every call makes a new texture.
    Texture* loadTexture(const std::string& name);

    // Frees every registered resource, then releases the device.
    void releaseAll();

    IDirect3DDevice9* device = nullptr;
    std::vector<IDData*> tweakables;
    std::set<Texture*> textures;
};

// The process-wide access point to the device state, created on first use.
class Device {
public:
    static Device* instance();
    static Texture* loadTexture(const std::string& name);

    DeviceState* state = nullptr;

private:
    Device() : state(new DeviceState) {}
};

} // namespace velmo
