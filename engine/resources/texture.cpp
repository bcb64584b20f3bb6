#include "engine/resources/texture.h"

namespace velmo {

Texture::~Texture() = default;

void Texture::load(const std::string& name) { loadFromMemory(name); }

// Image decoding arrives with the texture loader of the port; until then textures stay empty.
void Texture::loadFromMemory(const std::string&) {}

} // namespace velmo
