#pragma once
// Bounds every file reader applies before it allocates for what a file
// declares. A default-constructed ReadLimits holds the defaults all readers use;
// a reader keeps a copy (its `Limits`) that callers, tests and fuzzers may
// tighten. Each field names what it bounds; readers of new formats add fields
// here rather than constants of their own.
#include <cstdint>

namespace velto {

struct ReadLimits {
    // Bytes of a document or picture read whole into memory.
    std::uint64_t fileSize = 256ull << 20;
    // Bytes of a settings or language file (INI text); real ones are a few
    // hundred kilobytes, and a hostile file of short lines costs one object a line.
    // A language file downloaded is held to it as well.
    std::uint64_t iniFileSize = 2ull << 20;
    // Bytes of a web page read from the program's web server (the language
    // list, the version page), kept whole in memory.
    std::uint64_t webPageBytes = 4ull << 20;
    // Pixels one file may decode to: a PNG image, or every frame an animated
    // cursor expands to together (4 bytes each in the model), or one frame of
    // a GIF (and, on its own, its logical screen).
    std::uint64_t pixels = 1ull << 26;

    // Icon and cursor files: directory entries read; later ones are ignored.
    std::uint32_t entries = 100;

    // PNG: chunks held in the chunk list (each costs an object)...
    std::uint32_t chunks = 1u << 16;
    // ...and bytes held for them: data of the chunks kept as read for writing
    // back, and text inflated from compressed text chunks.
    std::uint64_t chunkBytes = 64ull << 20;
    // Bytes of text one compressed text chunk may inflate to; beyond it the
    // text is left empty; 0 leaves every compressed text uninflated.
    std::uint64_t inflatedText = 8ull << 20;

    // Apple icon files: elements read (a later one gets a message and is
    // ignored), and bytes the JPEG 2000 codec may allocate, by the estimate
    // from its header, to decode the picture of one element (a 256x256 one
    // needs about 1 MiB; a header of tiny tiles asks for far more).
    std::uint32_t icnsElements = 30;
    std::uint64_t icnsPictureBytes = 32ull << 20;

    // Animated cursors: stored frames ("icon" chunks)...
    std::uint32_t frames = 10000;
    // ...and steps ("seq " entries; "rate" values beyond the last step are ignored).
    std::uint32_t steps = 10000;
    // Characters kept of a title or author text.
    std::uint32_t textLength = 2000;

    // Executables and libraries (cursor resources): bytes of a file read
    // whole, or written by a resource update...
    std::uint64_t executableSize = 1ull << 30;
    // ...sections in its table (the loader takes at most 96; linkers of
    // object-like images write more)...
    std::uint32_t peSections = 1024;
    // ...and nodes of its resource tree (directories and leaves together);
    // entries may share subtrees, so the tree is counted as it is expanded.
    std::uint32_t resourceNodes = 1u << 18;

    // Image library: bytes one image that a file declares may take (its
    // pixels, or a buffer the file sizes, or what a codec sets up for it, as
    // the code blocks of JPEG 2000), and bytes one load may allocate for all
    // of them together (every image of a multi-image file).
    std::uint64_t imageBytes = 1ull << 30;
    std::uint64_t imageLoadBytes = 2ull << 30;
    // JPEG: scans of a progressive file; each scan makes the decoder pass
    // over the whole coefficient buffer, so a file of many tiny scans is a CPU bomb.
    std::uint32_t jpegScans = 500;
    // JPEG 2000: steps of the codec's packet iterator over every tile, a
    // fixed amount of work however long the data. A step (40 to 50 ns here)
    // for each layer of every precinct, resolution and component a
    // progression runs over, whether the file holds data for them or not;
    // half a step (20 ns) for each code block a packet visits: a packet of
    // the data, of a byte even, may visit every block of its precinct. No
    // picture of 100 layers (the most the codec's encoders write) within the
    // decode budget, in tiles of 64 samples or more, is charged more: 1 GiB
    // holds the samples of 2^24 blocks of 4 x 4, a few more in tiles that
    // cut blocks. 8064 x 8064 RGBA in tiles of 256, blocks of 4 x 4, is
    // charged 818 M steps and decodes in 25 s, as Pillow does in 32 s; steps
    // of empty precincts up to the limit take 50 s. A hundred bytes declaring
    // 65,535 layers of thousands of precincts are charged 358 M to 1.6 G
    // steps, and are refused first by their gigabytes of iterator.
    std::uint64_t jpeg2000PacketSteps = 1ull << 30;

    // GIF files: frames (an extension-only frame counts too), extension
    // blocks, and bytes kept of comments, plain text and application data.
    std::uint32_t gifFrames = 1u << 16;
    std::uint32_t gifExtensions = 1u << 17;
    std::uint64_t gifExtensionBytes = 16ull << 20;
    // Bytes the frames of one GIF hold together once read, a byte a pixel: a
    // long clip of 640 x 480 frames takes 300 KiB a frame (870 frames fit).
    // The roads that show or import every frame keep little more beside them.
    std::uint64_t gifFrameBytes = 256ull << 20;

    // Bitmaps the panes keep between runs (favourite and quick colours):
    // bytes of the file and pixels it may declare. Written here they are
    // small grids; a larger one is cropped to the grid anyway.
    std::uint64_t persistedBitmapSize = 4ull << 20;
    std::uint64_t persistedBitmapPixels = 1ull << 20;
};

}  // namespace velto
