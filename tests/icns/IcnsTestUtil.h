#pragma once
// Builders of Apple icon files and of the pictures their 256x256 element
// holds, a message sink that records what would have been shown, and image
// helpers for the icns tests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/MessageBox.h"
#include "icns/MacIcoIO.h"
#include "model/Icon.h"
#include "platform/ByteWriter.h"

namespace icnstest {

using Bytes = std::vector<std::uint8_t>;

// Records every box and answers questions with `answer`.
class MessageLog {
public:
    explicit MessageLog(int answer = velto::idYes) {
        old_ = velto::SetMessageSink([this, answer](const velto::MessageRequest& r) {
            shown.push_back(r);
            return (r.buttons & velto::mbYes) ? answer : int{velto::idOK};
        });
    }
    ~MessageLog() { velto::SetMessageSink(std::move(old_)); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    std::vector<velto::MessageRequest> shown;

    int Count(const std::string& textStart) const {
        int n = 0;
        for (const auto& r : shown) n += r.text.rfind(textStart, 0) == 0 ? 1 : 0;
        return n;
    }

private:
    velto::MessageSink old_;
};

struct Element {
    std::string type;  // four bytes
    Bytes data;
    std::int64_t length = -1;  // stored length; default: data + 8
};

// "icns", the total length (default: the file's), then the elements.
inline Bytes IcnsFile(const std::vector<Element>& elements, std::int64_t total = -1) {
    velto::ByteWriter w;
    w.text("icns");
    w.u32be(0);
    for (const Element& e : elements) {
        w.text(e.type);
        w.u32be(static_cast<std::uint32_t>(e.length >= 0 ? e.length : static_cast<std::int64_t>(e.data.size()) + 8));
        w.bytes(e.data);
    }
    w.patchU32be(4, static_cast<std::uint32_t>(total >= 0 ? total : static_cast<std::int64_t>(w.size())));
    return w.take();
}

// The elements of a file as (type, data), walked without any checks beyond
// the data's end (the tests' own view of what a writer produced).
inline std::vector<std::pair<std::string, Bytes>> Elements(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> out;
    std::size_t at = 8;
    while (at + 8 <= file.size()) {
        const std::uint32_t len = std::uint32_t(file[at + 4]) << 24 | std::uint32_t(file[at + 5]) << 16 |
                                  std::uint32_t(file[at + 6]) << 8 | file[at + 7];
        if (len < 8 || at + len > file.size()) break;
        out.emplace_back(std::string(file.begin() + static_cast<std::ptrdiff_t>(at),
                                     file.begin() + static_cast<std::ptrdiff_t>(at + 4)),
                         Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                               file.begin() + static_cast<std::ptrdiff_t>(at + len)));
        at += len;
    }
    return out;
}

inline std::vector<std::string> Types(const Bytes& file) {
    std::vector<std::string> out;
    for (const auto& e : Elements(file)) out.push_back(e.first);
    return out;
}

// A JPEG 2000 code stream that ends after its size marker: enough for a
// header check, nothing to decode.
inline Bytes J2kHeader(std::uint32_t width, std::uint32_t height, std::uint16_t components, std::uint8_t dx = 1,
                       std::uint8_t dy = 1, std::uint32_t tile = 0) {
    velto::ByteWriter w;
    w.u16be(0xFF4F), w.u16be(0xFF51), w.u16be(static_cast<std::uint16_t>(38 + 3 * components)), w.u16be(0);
    w.u32be(width), w.u32be(height), w.u32be(0), w.u32be(0);
    w.u32be(tile ? tile : width), w.u32be(tile ? tile : height), w.u32be(0), w.u32be(0);
    w.u16be(components);
    for (std::uint16_t c = 0; c < components; ++c) w.u8(7), w.u8(dx), w.u8(dy);
    return w.take();
}

// Pixel (x, y) of a pattern that differs between neighbours and channels.
inline velto::TmyPixel Pattern(int x, int y, std::uint8_t alpha = 255) {
    return velto::TmyPixel::CreateRGBA(static_cast<std::uint8_t>(x * 7 + y * 3), static_cast<std::uint8_t>(x * y),
                                       static_cast<std::uint8_t>(255 - x * 5), alpha);
}

// An image whose pixels are f(x, y).
template <class F>
velto::TmyImagePal MakeImage(velto::ImageSize size, int bitCount, F f) {
    velto::TmyImagePal image(size, bitCount);
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) image.At(x, y) = f(x, y);
    return image;
}

inline int AddImage(velto::TmyIcon& doc, const velto::TmyImagePal& image) {
    return doc.AppendImage(std::make_unique<velto::TmyImagePal>(image));
}

}  // namespace icnstest
