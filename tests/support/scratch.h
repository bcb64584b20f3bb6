// Scratch files for tests: a fresh folder per test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return dir; }
    std::string file(const std::string& name) const { return (dir / name).string(); }

private:
    std::filesystem::path dir;
};

void writeFile(const std::string& path, const void* bytes, size_t size);

// Encodes a stereo 44.1 kHz sine tone of the given length as an mp3 file.
void writeToneMp3(const std::string& path, double seconds);
