#pragma once
// The library a new cursor library starts from: a resource-only PE library
// (no code, no imports, no entry point) whose one section holds an empty
// resource directory. Made here rather than shipped, so there is no file to
// lose and no binary of unknown origin in the tree.
#include <cstdint>
#include <vector>

namespace velto {

// The whole file: headers in the first 512 bytes, the ".rsrc" section in the
// next 512, checksum set. pe32plus gives the 64-bit (x86-64) form; the
// default is the 32-bit (i386) one, which 32- and 64-bit loaders both open
// for its resources.
std::vector<std::uint8_t> MakeEmptyLibrary(bool pe32plus = false);

}  // namespace velto
