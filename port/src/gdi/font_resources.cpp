// GDI32 font resources: font files a program makes available to CreateFontA for the rest of
// the process, registered with fontconfig as application fonts. The fonts shipped in the
// program's data/ folder are registered the same way when the resources are first used, as
// an installer would have installed them.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "gdi/font.h"

namespace {

// How often each file was added and not yet removed.
class FontResources {
public:
    static FontResources& instance() {
        static FontResources resources;
        return resources;
    }

    int add(const std::string& name) {
        std::lock_guard lock(mutex);
        const std::string file = key(name);
        const int faces = faceCount(file);
        if (faces == 0) {
            return 0;
        }
        if (added.count(file) == 0 &&
            !FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file.c_str()))) {
            return 0;
        }
        ++added[file];
        return faces;
    }

    bool remove(const std::string& name) {
        std::lock_guard lock(mutex);
        const auto found = added.find(key(name));
        if (found == added.end()) {
            return false;
        }
        if (--found->second > 0) {
            return true;
        }
        added.erase(found);
        // fontconfig drops application fonts only all at once: register the others again.
        FcConfigAppFontClear(nullptr);
        for (const auto& [other, count] : added) {
            FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(other.c_str()));
        }
        return true;
    }

private:
    // Registers the TrueType and OpenType files of data/, in name order.
    FontResources() {
        std::error_code error;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator("data", error)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            if (entry.is_regular_file(error) && (extension == ".ttf" || extension == ".otf")) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            const std::string path = key(file.string());
            if (faceCount(path) > 0 &&
                FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str()))) {
                added[path] = 1;
            }
        }
    }

    // One name per file however it is spelled: the absolute, normalised path.
    static std::string key(const std::string& file) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(file, error);
        return error ? file : absolute.lexically_normal().string();
    }

    // The number of faces in a font file; 0 when FreeType does not read it as a font.
    static int faceCount(const std::string& file) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            return 0;
        }
        FT_Face face = nullptr;
        int faces = 0;
        if (FT_New_Face(library, file.c_str(), -1, &face) == 0) {
            faces = static_cast<int>(face->num_faces);
            FT_Done_Face(face);
        }
        FT_Done_FreeType(library);
        return faces;
    }

    std::mutex mutex;
    std::map<std::string, int> added;
};

} // namespace

namespace port::gdi {

void addProgramFonts() {
    FontResources::instance();
}

} // namespace port::gdi

int AddFontResourceA(LPCSTR fileName) {
    if (fileName == nullptr || *fileName == '\0') {
        return 0;
    }
    return FontResources::instance().add(fileName);
}

BOOL RemoveFontResourceA(LPCSTR fileName) {
    if (fileName == nullptr) {
        return FALSE;
    }
    return FontResources::instance().remove(fileName) ? TRUE : FALSE;
}
