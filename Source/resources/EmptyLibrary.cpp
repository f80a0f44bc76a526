#include "resources/EmptyLibrary.h"

#include "platform/ByteWriter.h"
#include "resources/PeFile.h"

namespace velto {

namespace {
constexpr std::uint32_t kFileAlign = 0x200;
constexpr std::uint32_t kSectionAlign = 0x1000;
constexpr std::uint32_t kPeAt = 0x80;  // DOS header, then zeros up to the signature
constexpr std::uint32_t kRootSize = 16;  // a directory header with no entries
}  // namespace

std::vector<std::uint8_t> MakeEmptyLibrary(bool pe32plus) {
    ByteWriter w;
    w.text("MZ");
    w.fill(0, 58);
    w.u32le(kPeAt);
    w.fill(0, kPeAt - 64);

    const std::uint16_t optSize = pe32plus ? 240 : 224;
    w.text(std::string_view("PE\0\0", 4));
    w.u16le(pe32plus ? 0x8664 : 0x014C);  // machine
    w.u16le(1);                           // sections
    w.u32le(0);                           // time stamp: the file is the same every time
    w.u32le(0);                           // no symbol table
    w.u32le(0);
    w.u16le(optSize);
    // An executable image and a library; 32-bit machine for the i386 form.
    w.u16le(pe32plus ? 0x2022 : 0x2102);

    w.u16le(pe32plus ? kPe32PlusMagic : kPe32Magic);
    w.u8(14);                 // linker version
    w.u8(0);
    w.u32le(0);               // size of code
    w.u32le(kFileAlign);      // size of initialised data: the section
    w.u32le(0);               // uninitialised data
    w.u32le(0);               // no entry point
    w.u32le(kSectionAlign);   // base of code
    if (!pe32plus) {
        w.u32le(kSectionAlign);  // base of data
        w.u32le(0x10000000);     // image base
    } else {
        w.u32le(0x80000000);     // image base, 64 bits
        w.u32le(0x00000001);
    }
    w.u32le(kSectionAlign);
    w.u32le(kFileAlign);
    w.u16le(6);  // operating system version 6.0
    w.u16le(0);
    w.u32le(0);  // image version
    w.u16le(6);  // subsystem version 6.0
    w.u16le(0);
    w.u32le(0);  // reserved
    w.u32le(2 * kSectionAlign);  // size of image: headers page and the section
    w.u32le(kFileAlign);         // size of headers
    w.u32le(0);  // checksum, set at the end
    w.u16le(2);       // subsystem: GUI
    w.u16le(0x0500);  // no structured exception handlers, compatible with no-execute
    for (int i = 0; i < 4; ++i) {  // stack and heap, reserve and commit
        const std::uint32_t v = (i % 2 == 0) ? 0x100000 : 0x1000;
        w.u32le(v);
        if (pe32plus) w.u32le(0);
    }
    w.u32le(0);   // loader flags
    w.u32le(16);  // data directories
    for (int d = 0; d < 16; ++d) {
        w.u32le(d == kDirResource ? kSectionAlign : 0);
        w.u32le(d == kDirResource ? kRootSize : 0);
    }

    w.text(std::string_view(".rsrc\0\0\0", 8));
    w.u32le(kRootSize);      // virtual size
    w.u32le(kSectionAlign);  // virtual address
    w.u32le(kFileAlign);     // raw size
    w.u32le(kFileAlign);     // raw pointer
    w.u32le(0);
    w.u32le(0);
    w.u16le(0);
    w.u16le(0);
    w.u32le(0x40000040);  // initialised data, readable

    w.fill(0, static_cast<std::size_t>(kFileAlign - w.size()));
    w.fill(0, kFileAlign);  // the root directory: no entries, then padding
    std::vector<std::uint8_t> file = w.buffer();
    UpdatePeChecksum(file);
    return file;
}

}  // namespace velto
