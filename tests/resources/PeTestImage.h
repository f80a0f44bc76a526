#pragma once
// Builds small PE32 and PE32+ images for the resource tests: headers, a code
// section and a debug-directory section before the resources, optionally
// relocations, debug data and a writable data section after them, a COFF
// symbol table and a certificate table at the end. Every section is filled
// with a pattern of its own so tests can find it again after a rewrite.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resources/CursorGroups.h"
#include "resources/PeFile.h"
#include "resources/ResourceUpdate.h"

namespace restest {

using Bytes = std::vector<std::uint8_t>;

struct PeSpec {
    const char* name = "";
    bool pe32plus = false;
    bool codeBefore = true;     // .text and .rdata (debug directory) before .rsrc
    bool relocAfter = false;    // .reloc and .debug (discardable) after .rsrc
    bool dataAfter = false;     // .data (not discardable) after .rsrc
    bool symbols = false;       // COFF symbol table after the sections
    bool certificate = false;   // certificate table at the end of the file
    std::uint32_t fileAlign = 0x200;
    std::uint32_t sectionAlign = 0x1000;
    Bytes resources;            // raw resource section; empty: an empty root directory
};

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

struct BuiltSection {
    std::string name;
    std::uint32_t characteristics;
    Bytes content;
};

// A section's pattern: its index in every byte, mixed with the position.
inline Bytes Pattern(std::uint8_t seed, std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed * 31 + i * 7);
    return b;
}

inline Bytes BuildPe(const PeSpec& spec) {
    std::vector<BuiltSection> sections;
    int rsrcIndex = 0, rdataIndex = -1, relocIndex = -1, debugIndex = -1;
    if (spec.codeBefore) {
        sections.push_back({".text", 0x60000020, Pattern(1, 0x300)});
        rdataIndex = static_cast<int>(sections.size());
        sections.push_back({".rdata", 0x40000040, Bytes(64, 0)});
    }
    rsrcIndex = static_cast<int>(sections.size());
    sections.push_back({".rsrc", 0x40000040, spec.resources.empty() ? Bytes(16, 0) : spec.resources});
    if (spec.relocAfter) {
        relocIndex = static_cast<int>(sections.size());
        sections.push_back({".reloc", 0x42000040, Pattern(3, 12)});
        debugIndex = static_cast<int>(sections.size());
        sections.push_back({".debug", 0x42000040, Pattern(4, 0x250)});
    }
    if (spec.dataAfter) sections.push_back({".data", 0xC0000040, Pattern(5, 0x80)});

    const std::uint32_t fa = spec.fileAlign, sa = spec.sectionAlign;
    const std::size_t nt = 0x80, opt = nt + 24, optSize = spec.pe32plus ? 240 : 224;
    const std::size_t table = opt + optSize;
    const std::uint32_t headers = static_cast<std::uint32_t>(velto::AlignUp(table + 40 * sections.size(), fa));
    std::vector<std::uint32_t> va(sections.size()), raw(sections.size());
    std::uint32_t nextVa = static_cast<std::uint32_t>(velto::AlignUp(headers, sa)), nextRaw = headers;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        va[i] = nextVa;
        raw[i] = nextRaw;
        nextVa += static_cast<std::uint32_t>(velto::AlignUp(sections[i].content.size(), sa));
        nextRaw += static_cast<std::uint32_t>(velto::AlignUp(sections[i].content.size(), fa));
    }
    // The debug directory in .rdata points at the debug data after the resources.
    if (rdataIndex >= 0 && debugIndex >= 0) {
        Bytes& d = sections[rdataIndex].content;
        Put32(d, 12, 2);                                  // type: CodeView
        Put32(d, 16, 0x40);                               // SizeOfData
        Put32(d, 20, va[debugIndex] + 0x10);              // AddressOfRawData
        Put32(d, 24, raw[debugIndex] + 0x10);             // PointerToRawData
    }
    Bytes f(nextRaw, 0);
    for (std::size_t i = 0; i < sections.size(); ++i)
        std::memcpy(f.data() + raw[i], sections[i].content.data(), sections[i].content.size());

    std::uint32_t symbols = 0;
    if (spec.symbols) {
        symbols = static_cast<std::uint32_t>(f.size());
        Bytes sym(18 * 2, 0);
        std::memcpy(sym.data(), ".text", 5);
        Put16(sym, 12, 1);  // section number
        sym[16] = 3;        // static
        Put32(sym, 18 + 4, 4);  // long name at string offset 4
        Put16(sym, 18 + 12, 1);
        sym[18 + 16] = 2;
        const std::string strings = "a_rather_long_symbol_name";
        Bytes st(4 + strings.size() + 1, 0);
        Put32(st, 0, static_cast<std::uint32_t>(st.size()));
        std::memcpy(st.data() + 4, strings.data(), strings.size());
        f.insert(f.end(), sym.begin(), sym.end());
        f.insert(f.end(), st.begin(), st.end());
    }
    std::uint32_t cert = 0;
    if (spec.certificate) {
        f.resize(velto::AlignUp(f.size(), 8), 0);
        cert = static_cast<std::uint32_t>(f.size());
        Bytes c = Pattern(9, 24);
        Put32(c, 0, 24);
        Put16(c, 4, 0x200);
        Put16(c, 6, 2);
        f.insert(f.end(), c.begin(), c.end());
    }

    f[0] = 'M';
    f[1] = 'Z';
    Put32(f, 60, static_cast<std::uint32_t>(nt));
    std::memcpy(f.data() + nt, "PE\0\0", 4);
    Put16(f, nt + 4, spec.pe32plus ? 0x8664 : 0x14C);
    Put16(f, nt + 6, static_cast<std::uint16_t>(sections.size()));
    Put32(f, nt + 12, symbols);
    Put32(f, nt + 16, spec.symbols ? 2 : 0);
    Put16(f, nt + 20, static_cast<std::uint16_t>(optSize));
    Put16(f, nt + 22, 0x2102);  // executable, DLL
    Put16(f, opt, spec.pe32plus ? velto::kPe32PlusMagic : velto::kPe32Magic);
    std::uint32_t initData = 0;
    for (std::size_t i = 0; i < sections.size(); ++i)
        if (sections[i].characteristics & 0x40) initData += static_cast<std::uint32_t>(velto::AlignUp(sections[i].content.size(), fa));
    Put32(f, opt + 8, initData);
    Put32(f, opt + 32, sa);
    Put32(f, opt + 36, fa);
    Put16(f, opt + 40, 6);  // OS version
    Put16(f, opt + 48, 6);  // subsystem version
    Put32(f, opt + 56, nextVa);
    Put32(f, opt + 60, headers);
    Put16(f, opt + 68, 2);  // subsystem: GUI
    const std::size_t dirs = opt + (spec.pe32plus ? 112 : 96);
    Put32(f, dirs - 4, 16);
    Put32(f, dirs + 8 * 2, va[rsrcIndex]);
    Put32(f, dirs + 8 * 2 + 4, static_cast<std::uint32_t>(sections[rsrcIndex].content.size()));
    if (cert) {
        Put32(f, dirs + 8 * 4, cert);
        Put32(f, dirs + 8 * 4 + 4, 24);
    }
    if (relocIndex >= 0) {
        Put32(f, dirs + 8 * 5, va[relocIndex]);
        Put32(f, dirs + 8 * 5 + 4, 12);
    }
    if (rdataIndex >= 0 && debugIndex >= 0) {
        Put32(f, dirs + 8 * 6, va[rdataIndex]);
        Put32(f, dirs + 8 * 6 + 4, 28);
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t h = table + 40 * i;
        std::memcpy(f.data() + h, sections[i].name.data(), std::min<std::size_t>(8, sections[i].name.size()));
        Put32(f, h + 8, static_cast<std::uint32_t>(sections[i].content.size()));
        Put32(f, h + 12, va[i]);
        Put32(f, h + 16, static_cast<std::uint32_t>(velto::AlignUp(sections[i].content.size(), fa)));
        Put32(f, h + 20, raw[i]);
        Put32(f, h + 36, sections[i].characteristics);
    }
    velto::UpdatePeChecksum(f);
    return f;
}

// The cursor file of one w x h 32-bit image (colour rows from a seed, a
// clear mask) with the given hotspot.
inline Bytes CursorImageBytes(int w, int h, std::uint8_t seed) {
    Bytes d(40, 0);
    Put32(d, 0, 40);
    Put32(d, 4, static_cast<std::uint32_t>(w));
    Put32(d, 8, static_cast<std::uint32_t>(h * 2));
    Put16(d, 12, 1);
    Put16(d, 14, 32);
    Put32(d, 20, static_cast<std::uint32_t>(w * h * 4 + ((w + 31) / 32) * 4 * h));
    Bytes pixels = Pattern(seed, static_cast<std::size_t>(w * h * 4));
    d.insert(d.end(), pixels.begin(), pixels.end());
    d.resize(d.size() + static_cast<std::size_t>(((w + 31) / 32) * 4 * h), 0);
    return d;
}

struct CurImage {
    int w, h;
    std::uint16_t hotX, hotY;
    Bytes bytes;  // empty: CursorImageBytes(w, h, seed)
    std::uint8_t seed = 1;
};

inline Bytes CursorFile(std::vector<CurImage> images) {
    Bytes f(6 + 16 * images.size(), 0);
    Put16(f, 2, 2);
    Put16(f, 4, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        CurImage& img = images[i];
        if (img.bytes.empty()) img.bytes = CursorImageBytes(img.w, img.h, img.seed);
        const std::size_t e = 6 + 16 * i;
        f[e] = static_cast<std::uint8_t>(img.w);
        f[e + 1] = static_cast<std::uint8_t>(img.h);
        Put16(f, e + 4, img.hotX);
        Put16(f, e + 6, img.hotY);
        Put32(f, e + 8, static_cast<std::uint32_t>(img.bytes.size()));
        Put32(f, e + 12, static_cast<std::uint32_t>(f.size()));
        f.insert(f.end(), img.bytes.begin(), img.bytes.end());
    }
    return f;
}

}  // namespace restest

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace restest {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velto-res-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }
    // Names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
}
inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Park files of this process in the temporary folder.
inline std::vector<std::string> ParkFiles() {
    std::vector<std::string> out;
    const std::string prefix = "$rsx$res" + velto::IntToHexEx(static_cast<std::uint64_t>(::getpid()), 8, '0');
    const std::string folder = velto::GetResTempFileName(0).substr(0, velto::GetResTempFileName(0).find_last_of('/'));
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().string());
    return out;
}

}  // namespace restest
