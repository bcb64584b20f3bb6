// velmo_loading: draws the loading picture "loading.jpg", 1024 x 576 (16:9).
//
//   velmo_loading OUTFILE
//
// A night-blue field with three luminous ribbons (sums of sines, screen-blended), a faint
// spectrum skyline along the bottom, film grain and a vignette; over it the title "velmo 08"
// with a soft glow and, set into a hairline under it, the loading line. Text is rendered with
// FreeType from the sans-serif faces fontconfig picks (DejaVu on Debian); the JPEG is written with
// stb_image_write. Deterministic: a fixed-seed generator, no clocks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 576;
constexpr double kPi = 3.14159265358979323846;

struct Color {
    float r, g, b;
};
Color operator+(Color a, Color b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Color operator*(Color a, float s) {
    return {a.r * s, a.g * s, a.b * s};
}
Color mix(Color a, Color b, float t) {
    return a * (1.0f - t) + b * t;
}

struct Image {
    std::vector<Color> px = std::vector<Color>(std::size_t(kWidth) * kHeight, Color{0, 0, 0});
    Color& at(int x, int y) { return px[std::size_t(y) * kWidth + std::size_t(x)]; }
};

// A single-channel coverage mask, the size of the picture.
struct Mask {
    std::vector<float> a = std::vector<float>(std::size_t(kWidth) * kHeight, 0.0f);
    float& at(int x, int y) { return a[std::size_t(y) * kWidth + std::size_t(x)]; }
    float get(int x, int y) const { return a[std::size_t(y) * kWidth + std::size_t(x)]; }
};

std::uint32_t hash(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}
float noise01(int x, int y, std::uint32_t seed) {
    return float(hash(std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u ^ seed) &
                 0xFFFFFF) /
           16777215.0f;
}

// ---------------------------------------------------------------------------------------------
// Fonts

// The files of the faces fontconfig picks for each pattern ("sans-serif:bold", ...).
std::vector<std::string> findFonts(const std::vector<const char*>& patterns) {
    if (!FcInit())
        throw std::runtime_error("fontconfig init failed");
    std::vector<std::string> files;
    for (const char* pattern : patterns) {
        FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pat, &result);
        FcChar8* path = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
            files.emplace_back(reinterpret_cast<char*>(path));
        if (match)
            FcPatternDestroy(match);
        FcPatternDestroy(pat);
    }
    FcFini();
    if (files.size() != patterns.size())
        throw std::runtime_error("fontconfig found no sans-serif face");
    return files;
}

class Font {
public:
    Font(FT_Library lib, const std::string& file, int pixelSize) {
        if (FT_New_Face(lib, file.c_str(), 0, &face_))
            throw std::runtime_error("cannot open font " + file);
        FT_Set_Pixel_Sizes(face_, 0, FT_UInt(pixelSize));
    }
    ~Font() { FT_Done_Face(face_); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Width in pixels of `text` with `tracking` extra pixels between letters.
    double measure(const std::string& text, double tracking) {
        return layout(text, tracking, nullptr, 0, 0);
    }

    // Draws `text` into the mask with its baseline at y, starting at x.
    void draw(Mask& mask, const std::string& text, double x, int baseline, double tracking) {
        layout(text, tracking, &mask, x, baseline);
    }

private:
    double layout(const std::string& text, double tracking, Mask* mask, double x0, int baseline) {
        double pen = x0;
        FT_UInt previous = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            FT_UInt glyph = FT_Get_Char_Index(face_, FT_ULong(static_cast<unsigned char>(text[i])));
            if (previous && glyph && FT_HAS_KERNING(face_)) {
                FT_Vector k;
                FT_Get_Kerning(face_, previous, glyph, FT_KERNING_DEFAULT, &k);
                pen += k.x / 64.0;
            }
            if (FT_Load_Glyph(face_, glyph, FT_LOAD_RENDER))
                continue;
            FT_GlyphSlot g = face_->glyph;
            if (mask) {
                int left = int(std::lround(pen)) + g->bitmap_left, top = baseline - g->bitmap_top;
                for (unsigned row = 0; row < g->bitmap.rows; ++row) {
                    for (unsigned col = 0; col < g->bitmap.width; ++col) {
                        int x = left + int(col), y = top + int(row);
                        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
                            continue;
                        float v = g->bitmap.buffer[row * unsigned(g->bitmap.pitch) + col] / 255.0f;
                        mask->at(x, y) = std::max(mask->at(x, y), v);
                    }
                }
            }
            pen += g->advance.x / 64.0;
            if (i + 1 < text.size())
                pen += tracking;
            previous = glyph;
        }
        return pen - x0;
    }
    FT_Face face_ = nullptr;
};

// Separable box blur, applied three times (close to a Gaussian).
Mask blur(const Mask& in, int radius) {
    Mask a = in, b;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < kHeight; ++y) {
            double sum = 0;
            for (int x = -radius; x <= radius; ++x)
                sum += a.get(std::clamp(x, 0, kWidth - 1), y);
            for (int x = 0; x < kWidth; ++x) {
                b.at(x, y) = float(sum / (2 * radius + 1));
                sum += a.get(std::min(x + radius + 1, kWidth - 1), y) -
                       a.get(std::max(x - radius, 0), y);
            }
        }
        for (int x = 0; x < kWidth; ++x) {
            double sum = 0;
            for (int y = -radius; y <= radius; ++y)
                sum += b.get(x, std::clamp(y, 0, kHeight - 1));
            for (int y = 0; y < kHeight; ++y) {
                a.at(x, y) = float(sum / (2 * radius + 1));
                sum += b.get(x, std::min(y + radius + 1, kHeight - 1)) -
                       b.get(x, std::max(y - radius, 0));
            }
        }
    }
    return a;
}

// ---------------------------------------------------------------------------------------------
// Background. Everything is composed in display space (0..1 per channel, as written).

Color screen(Color a, Color b) { // "screen" blend: brightens, never clips
    return {1.0f - (1.0f - a.r) * (1.0f - b.r), 1.0f - (1.0f - a.g) * (1.0f - b.g),
            1.0f - (1.0f - a.b) * (1.0f - b.b)};
}

void paintBackground(Image& img) {
    const Color top{0.035f, 0.040f, 0.100f}, bottom{0.075f, 0.040f, 0.130f};
    const Color teal{0.15f, 0.80f, 0.90f}, magenta{0.90f, 0.28f, 0.72f}, amber{1.0f, 0.60f, 0.25f};
    for (int y = 0; y < kHeight; ++y) {
        float v = float(y) / (kHeight - 1);
        for (int x = 0; x < kWidth; ++x) {
            float u = float(x) / (kWidth - 1);
            Color c = mix(top, bottom, v);
            // A wide, dim glow behind the title.
            float dx = (u - 0.5f) * 1.5f, dy = (v - 0.45f) * 1.3f;
            c = screen(c, Color{0.06f, 0.09f, 0.22f} * std::exp(-(dx * dx + dy * dy) * 2.5f));
            // Three luminous ribbons under the title: thin bright cores in soft halos, fading into
            // both edges of the frame.
            for (int k = 0; k < 3; ++k) {
                double ph = k * 2.1;
                double center = 0.70 + 0.055 * std::sin(u * 4.7 + ph) +
                                0.03 * std::sin(u * 11.3 + 1.7 * ph) +
                                0.012 * std::sin(u * 27.0 + ph) + 0.025 * (k - 1);
                double width = 0.0035 + 0.0025 * std::sin(u * 6.0 + ph);
                double d = (v - center) / width;
                float core = float(std::exp(-d * d));
                float halo = float(std::exp(-std::fabs(d) * 0.18));
                float fade = float(std::pow(std::sin(kPi * u), 2.0));
                Color tint = k == 0   ? mix(teal, magenta, u)
                             : k == 1 ? mix(magenta, amber, u)
                                      : mix(teal, amber, u);
                float strength = k == 2 ? 0.5f : 1.0f;
                c = screen(c, tint * ((core * 0.75f + halo * 0.07f) * fade * strength));
            }
            img.at(x, y) = c;
        }
    }
    // A faint spectrum skyline along the bottom: 64 bars, shaped like the demo's bands.
    const int bars = 64, base = kHeight - 40, gap = 3;
    const double margin = 112.0, barWidth = (kWidth - 2.0 * margin) / bars;
    for (int i = 0; i < bars; ++i) {
        double f = double(i) / (bars - 1);
        double h = 64.0 * (0.25 + 0.75 * std::exp(-f * 2.4)) *
                   (0.5 + 0.5 * std::fabs(std::sin(i * 1.7 + 0.3)));
        float edge = float(std::pow(std::sin(kPi * (f * 0.9 + 0.05)), 0.7));
        int x0 = int(margin + i * barWidth), x1 = int(margin + (i + 1) * barWidth) - gap;
        for (int y = base - int(h); y < base; ++y) {
            float along = float(base - y) / float(h);
            Color tint = mix(Color{0.10f, 0.45f, 0.55f}, Color{0.40f, 0.15f, 0.45f}, along);
            for (int x = x0; x < x1; ++x)
                img.at(x, y) = screen(img.at(x, y), tint * (0.30f * (1.0f - along * 0.75f) * edge));
        }
        for (int y = base + 3; y < base + 3 + int(h * 0.3); ++y) { // reflection
            float along = float(y - base - 3) / float(h * 0.3);
            for (int x = x0; x < x1; ++x)
                img.at(x, y) = screen(img.at(x, y),
                                      Color{0.10f, 0.40f, 0.50f} * (0.07f * (1.0f - along) * edge));
        }
    }
    // Vignette (the title, drawn later, stays clean).
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            float u = (float(x) / kWidth - 0.5f) * 1.3f, v = float(y) / kHeight - 0.5f;
            float vignette = std::clamp(1.0f - (u * u + v * v) * 1.1f, 0.0f, 1.0f);
            img.at(x, y) = img.at(x, y) * (0.35f + 0.65f * vignette);
        }
}

void finish(Image& img, std::vector<unsigned char>& rgb) {
    rgb.resize(std::size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float grain = (noise01(x, y, 0x9E37u) - 0.5f) * (3.0f / 255.0f);
            Color c = img.at(x, y);
            std::array<float, 3> ch = {c.r, c.g, c.b};
            for (int k = 0; k < 3; ++k)
                rgb[(std::size_t(y) * kWidth + std::size_t(x)) * 3 + std::size_t(k)] =
                    static_cast<unsigned char>(
                        std::lround(std::clamp(ch[std::size_t(k)] + grain, 0.0f, 1.0f) * 255.0f));
        }
    }
}

// Screens `color` * coverage over the picture (glows).
void glow(Image& img, const Mask& m, Color color, float strength) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            float a = std::min(1.0f, m.get(x, y) * strength);
            if (a > 0.0f)
                img.at(x, y) = screen(img.at(x, y), color * a);
        }
}

// Lays `color` over the picture with coverage as alpha.
void over(Image& img, const Mask& m, Color color, float opacity) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            float a = m.get(x, y) * opacity;
            if (a > 0.0f)
                img.at(x, y) = mix(img.at(x, y), color, a);
        }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTFILE\n", argv[0]);
        return 2;
    }
    try {
        FT_Library lib;
        if (FT_Init_FreeType(&lib))
            throw std::runtime_error("FreeType init failed");
        const std::vector<std::string> fonts = findFonts({"sans-serif:bold", "sans-serif:light"});
        const std::string& boldFile = fonts[0];
        const std::string& lightFile = fonts[1];
        Image img;
        paintBackground(img);
        {
            Font title(lib, boldFile, 118);
            Font small(lib, lightFile, 19);
            const std::string name = "velmo", number = "08";
            const double tracking = 6.0, space = 34.0;
            double wName = title.measure(name, tracking), wNumber = title.measure(number, tracking);
            double x = (kWidth - (wName + space + wNumber)) * 0.5;
            const int baseline = 268;
            Mask nameMask, numberMask;
            title.draw(nameMask, name, x, baseline, tracking);
            title.draw(numberMask, number, x + wName + space, baseline, tracking);

            // Glow under the letters, then the letters themselves.
            Mask both = nameMask;
            for (std::size_t i = 0; i < both.a.size(); ++i)
                both.a[i] = std::max(both.a[i], numberMask.a[i]);
            glow(img, blur(both, 22), Color{0.20f, 0.38f, 0.85f}, 0.9f);
            glow(img, blur(numberMask, 8), Color{1.0f, 0.45f, 0.12f}, 0.8f);
            over(img, nameMask, Color{0.95f, 0.96f, 1.0f}, 1.0f);
            over(img, numberMask, Color{1.0f, 0.68f, 0.32f}, 1.0f);

            // The loading line: a hairline with the word set into a gap in its middle.
            const std::string loading = "L O A D I N G";
            double wLoading = small.measure(loading, 2.0);
            const int lineY = 322;
            const double lineHalf = 250.0, gapHalf = wLoading * 0.5 + 18.0;
            Mask lineMask;
            for (int px = int(kWidth * 0.5 - lineHalf); px < int(kWidth * 0.5 + lineHalf); ++px) {
                double d = std::fabs(px - kWidth * 0.5);
                if (d < gapHalf)
                    continue;
                float fade = float(1.0 - (d - gapHalf) / (lineHalf - gapHalf));
                lineMask.at(px, lineY) = 0.8f * fade;
            }
            over(img, lineMask, Color{0.65f, 0.75f, 0.95f}, 0.9f);
            Mask textMask;
            small.draw(textMask, loading, (kWidth - wLoading) * 0.5, lineY + 7, 2.0);
            glow(img, blur(textMask, 4), Color{0.3f, 0.5f, 0.9f}, 0.6f);
            over(img, textMask, Color{0.82f, 0.87f, 1.0f}, 0.95f);
        }
        FT_Done_FreeType(lib);

        std::vector<unsigned char> rgb;
        finish(img, rgb);
        std::string tmp = std::string(argv[1]) + ".tmp";
        if (!stbi_write_jpg(tmp.c_str(), kWidth, kHeight, 3, rgb.data(), 92))
            throw std::runtime_error("cannot write " + tmp);
        if (std::rename(tmp.c_str(), argv[1]) != 0)
            throw std::runtime_error(std::string("cannot write ") + argv[1]);
        std::printf("loading: wrote %s (%d x %d, title from %s)\n", argv[1], kWidth, kHeight,
                    boldFile.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmo_loading: %s\n", e.what());
        return 1;
    }
}
