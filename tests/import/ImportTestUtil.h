#pragma once
// Pictures and services for the import tests: bitmaps of known pixels, a
// service whose settings the test sets, and a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "import/MyImport.h"
#include "platform/Bitmap.h"

namespace velto::test {

// Pixel (x, y) of a pattern every position tells apart (alpha as given).
inline TmyPixel PatternPixel(int x, int y, std::uint8_t alpha = 255) {
    return {static_cast<std::uint8_t>(x * 7 + 1), static_cast<std::uint8_t>(y * 5 + 2),
            static_cast<std::uint8_t>((x + y) * 3 + 3), alpha};
}

// A bitmap of the pattern: 24 bits, or 32 bits with every alpha `alpha`.
inline TBitmap PatternBitmap(int width, int height, bool bits32, std::uint8_t alpha = 255) {
    TBitmap b;
    b.Allocate(width, height, bits32 ? pf32bit : pf24bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const TmyPixel p = PatternPixel(x, y, alpha);
            std::uint8_t* d = row + (bits32 ? 4 : 3) * x;
            d[0] = p.B;
            d[1] = p.G;
            d[2] = p.R;
            if (bits32) d[3] = p.A;
        }
    }
    return b;
}

// A service whose settings are the test's own variable.
struct TestService {
    tmyimport service;
    TImportSettings settings;
    TestService() {
        service.Hooks.Settings = [this] { return settings; };
    }
};

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("velto-import-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

}  // namespace velto::test
