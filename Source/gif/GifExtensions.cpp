// Extension blocks: graphic control, plain text, comment and application data,
// the registries that map a label and an application identifier to a class,
// and the list of a frame's extensions.
#include <algorithm>
#include <cstring>

#include "gif/GifImage.h"

namespace velto {

namespace {

using TAppIdentifier = std::array<std::uint8_t, 11>;

struct Registries {
    std::vector<const TGIFExtensionClass*> labels;
    std::vector<std::pair<TAppIdentifier, const TGIFExtensionClass*>> applications;
};

TAppIdentifier AppIdentifier(std::string_view text) {
    TAppIdentifier id{};
    std::memcpy(id.data(), text.data(), std::min(text.size(), id.size()));
    return id;
}

Registries& TheRegistries() {
    static Registries r = [] {
        Registries init;
        init.labels = {&TGIFTextExtension::ClassInfo(), &TGIFGraphicControlExtension::ClassInfo(),
                       &TGIFCommentExtension::ClassInfo(), &TGIFApplicationExtension::ClassInfo()};
        init.applications = {{AppIdentifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::ClassInfo()},
                             {AppIdentifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::ClassInfo()}};
        return init;
    }();
    return r;
}

// The class that reads an 11-byte identification block with this identifier.
const TGIFExtensionClass* ApplicationClass(const TAppIdentifier& id) {
    const auto& apps = TheRegistries().applications;
    for (auto it = apps.rbegin(); it != apps.rend(); ++it)
        if (it->first == id) return it->second;
    return &TGIFUnknownAppExtension::ClassInfo();
}

// Which application class reads the block: by identifier; blocks of another
// size than 11 are kept as unknown data (sizes below 10 are refused by the reader).
const TGIFExtensionClass* ResolveApplication(ByteReader& stream) {
    std::uint8_t size = 0;
    if (!stream.u8(size) || size < 10) return &TGIFApplicationExtension::ClassInfo();
    if (size == 10) return stream.skip(10) ? &TGIFUnknownAppExtension::ClassInfo() : nullptr;
    TAppIdentifier id{};
    if (size > 11 || !stream.bytes(id.data(), id.size())) return &TGIFUnknownAppExtension::ClassInfo();
    return ApplicationClass(id);
}

// The image that counts what a load keeps.
TGIFImage& OwnerImage(const TGIFExtension& e) { return e.SubImage().Image(); }

template <class T>
std::unique_ptr<TGIFExtension> CreateExtension(TGIFSubImage& frame) {
    return std::make_unique<T>(frame);
}

// Bytes a kept line or block costs beyond its data.
constexpr std::uint64_t kBlockOverhead = 32;

}  // namespace

void RegisterExtensionClass(const TGIFExtensionClass& cls) { TheRegistries().labels.push_back(&cls); }

void RegisterAppExtensionClass(std::string_view identifier, const TGIFExtensionClass& cls) {
    TheRegistries().applications.emplace_back(AppIdentifier(identifier), &cls);
}

const TGIFExtensionClass* FindExtensionClass(ByteReader& stream) {
    const std::uint64_t start = stream.pos();
    std::uint8_t label = 0;
    const TGIFExtensionClass* cls = nullptr;
    if (stream.u8(label)) {
        const auto& labels = TheRegistries().labels;
        for (auto it = labels.rbegin(); it != labels.rend(); ++it)
            if ((*it)->Label == label) {
                cls = *it;
                break;
            }
        // Each class may name a more specific one; every answer is asked of
        // the same block, and an answer that keeps changing names none.
        const std::uint64_t data = stream.pos();
        for (int round = 0; cls && cls->ResolveClass; ++round) {
            if (round == 8) {
                cls = nullptr;
                break;
            }
            stream.seek(data);
            const TGIFExtensionClass* next = cls->ResolveClass(stream);
            if (next == cls) break;
            cls = next;
        }
    }
    stream.seek(start);
    return cls;
}

// ---------------------------------------------------------------------------

void TGIFExtension::LoadFromStream(ByteReader& stream) {
    std::uint8_t introducer = 0, label = 0;
    if (!stream.u8(introducer)) throw GIFException(sGIFPrematureEnd);
    if (introducer != '!') throw GIFException(sGIFBadIntroducer);
    if (!stream.u8(label)) throw GIFException(sGIFPrematureEnd);
    if (label != Label()) throw GIFException(sGIFExtensionMismatch);
    ReadData(stream);
}

void TGIFExtension::SaveToStream(ByteWriter& stream) const {
    stream.u8('!');
    stream.u8(Label());
    WriteData(stream);
}

void TGIFExtension::ReadLines(ByteReader& stream, std::vector<std::string>& lines) {
    std::uint8_t length = 0;
    while (stream.u8(length) && length != 0) {
        std::span<const std::uint8_t> bytes;
        if (!stream.view(length, bytes)) throw GIFException(sGIFPrematureEnd);
        OwnerImage(*this).ChargeExtensionBytes(length + kBlockOverhead);
        lines.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
}

void TGIFExtension::WriteLines(ByteWriter& stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        for (std::size_t at = 0; at < line.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, line.size() - at);
            stream.u8(static_cast<std::uint8_t>(n));
            stream.bytes(line.data() + at, n);
        }
    stream.u8(0);
}

// ---------------------------------------------------------------------------

const TGIFExtensionClass& TGIFGraphicControlExtension::ClassInfo() {
    static const TGIFExtensionClass cls{"TGIFGraphicControlExtension", kLabel, nullptr,
                                        CreateExtension<TGIFGraphicControlExtension>};
    return cls;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& frame) : TGIFExtension(frame) {
    if (!frame.fGCE) frame.fGCE = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    TGIFSubImage& frame = SubImage();
    if (Transparent()) frame.fTransparent = false;
    if (frame.fGCE == this) frame.fGCE = nullptr;
}

void TGIFGraphicControlExtension::SetTransparent(bool on) {
    Packed = static_cast<std::uint8_t>(on ? Packed | 0x01 : Packed & ~0x01);
    SubImage().fTransparent = on;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
    const int count = SubImage().UsedColorMap().Count();
    if (count > 0 && (index < 0 || index >= count)) {
        OwnerImage(*this).Warning(this, 1, sGIFBadColorIndex);
        index = 0;
    }
    TransparentIndex = static_cast<std::uint8_t>(index);
}

void TGIFGraphicControlExtension::ReadData(ByteReader& stream) {
    std::array<std::uint8_t, 6> block = {BlockSize, Packed, static_cast<std::uint8_t>(Delay),
                                         static_cast<std::uint8_t>(Delay >> 8), TransparentIndex, Terminator};
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), stream.remaining()));
    stream.bytes(block.data(), n);
    if (n < block.size()) OwnerImage(*this).Warning(this, 1, sGIFPrematureEnd);
    BlockSize = block[0];
    Packed = block[1];
    Delay = static_cast<std::uint16_t>(block[2] | block[3] << 8);
    TransparentIndex = block[4];
    Terminator = block[5];
    if (Transparent()) SubImage().fTransparent = true;
}

void TGIFGraphicControlExtension::WriteData(ByteWriter& stream) const {
    stream.u8(BlockSize);
    stream.u8(Packed);
    stream.u16le(Delay);
    stream.u8(TransparentIndex);
    stream.u8(Terminator);
}

// ---------------------------------------------------------------------------

const TGIFExtensionClass& TGIFTextExtension::ClassInfo() {
    static const TGIFExtensionClass cls{"TGIFTextExtension", kLabel, nullptr,
                                        CreateExtension<TGIFTextExtension>};
    return cls;
}

void TGIFTextExtension::ReadData(ByteReader& stream) {
    ByteReader head;
    std::span<const std::uint8_t> bytes;
    if (!stream.view(13, bytes)) throw GIFException(sGIFPrematureEnd);
    head = ByteReader(bytes);
    head.u8(BlockSize);
    head.u16le(Left);
    head.u16le(Top);
    head.u16le(GridWidth);
    head.u16le(GridHeight);
    head.u8(CharWidth);
    head.u8(CharHeight);
    head.u8(ForegroundColorIndex);
    head.u8(BackgroundColorIndex);
    Text.clear();
    ReadLines(stream, Text);
}

void TGIFTextExtension::WriteData(ByteWriter& stream) const {
    stream.u8(BlockSize);
    stream.u16le(Left);
    stream.u16le(Top);
    stream.u16le(GridWidth);
    stream.u16le(GridHeight);
    stream.u8(CharWidth);
    stream.u8(CharHeight);
    stream.u8(ForegroundColorIndex);
    stream.u8(BackgroundColorIndex);
    WriteLines(stream, Text);
}

const TGIFExtensionClass& TGIFCommentExtension::ClassInfo() {
    static const TGIFExtensionClass cls{"TGIFCommentExtension", kLabel, nullptr,
                                        CreateExtension<TGIFCommentExtension>};
    return cls;
}

void TGIFCommentExtension::ReadData(ByteReader& stream) {
    Text.clear();
    ReadLines(stream, Text);
}

void TGIFCommentExtension::WriteData(ByteWriter& stream) const { WriteLines(stream, Text); }

// ---------------------------------------------------------------------------

const TGIFExtensionClass& TGIFApplicationExtension::ClassInfo() {
    // The class itself holds no data: the blocks it is asked to read (a size
    // below 10, or a missing size) are refused by its reader before any data.
    static const TGIFExtensionClass cls{"TGIFApplicationExtension", kLabel, ResolveApplication,
                                        CreateExtension<TGIFUnknownAppExtension>};
    return cls;
}

void TGIFApplicationExtension::ReadData(ByteReader& stream) {
    std::uint8_t size = 0;
    if (!stream.u8(size)) throw GIFException(sGIFPrematureEnd);
    if (size == 10) Identifier.fill(0);
    else if (size < 11) throw GIFException(sGIFBadAppBlockSize);
    if (!stream.bytes(Identifier.data(), Identifier.size())) throw GIFException(sGIFPrematureEnd);
    IdentifierTail.clear();
    // A 10-byte block: its identifier takes the first byte of the data too,
    // which is read again as data.
    if (size == 10) {
        stream.seek(stream.pos() - 1);
    } else {
        std::span<const std::uint8_t> tail;
        if (!stream.view(size - 11u, tail)) throw GIFException(sGIFPrematureEnd);
        if (!tail.empty()) OwnerImage(*this).ChargeExtensionBytes(tail.size() + kBlockOverhead);
        IdentifierTail.assign(tail.begin(), tail.end());
    }
    ReadAppData(stream);
}

// The identification block is written so that it reads back with the class
// and content it holds: an 11-byte block is read by the class registered for
// its identifier, so unknown data that carries a registered identifier (read
// from a block of 10 bytes or of more than 11) keeps a block of another size.
void TGIFApplicationExtension::WriteData(ByteWriter& stream) const {
    constexpr std::size_t kMaxTail = 255 - 11;
    if (IdentifierTail.size() > kMaxTail) throw GIFException(sGIFBadAppBlockSize);
    ByteWriter data;
    WriteAppData(data);
    const bool renamed = IdentifierTail.empty() && &Class() == &TGIFUnknownAppExtension::ClassInfo() &&
                         ApplicationClass(Identifier) != &Class();
    if (renamed && !data.buffer().empty() && data.buffer().front() == Identifier[10]) {
        // As it was read: the identifier's last byte is the data's first.
        stream.u8(10);
        stream.bytes(Identifier.data(), 10);
    } else if (renamed) {
        // Built in memory: one padding byte, which reads back as its tail.
        stream.u8(12);
        stream.bytes(Identifier.data(), Identifier.size());
        stream.u8(0);
    } else {
        stream.u8(static_cast<std::uint8_t>(11 + IdentifierTail.size()));
        stream.bytes(Identifier.data(), Identifier.size());
        stream.bytes(IdentifierTail.data(), IdentifierTail.size());
    }
    stream.bytes(data.buffer());
}

const TGIFExtensionClass& TGIFUnknownAppExtension::ClassInfo() {
    static const TGIFExtensionClass cls{"TGIFUnknownAppExtension", kLabel, ResolveApplication,
                                        CreateExtension<TGIFUnknownAppExtension>};
    return cls;
}

void TGIFUnknownAppExtension::ReadAppData(ByteReader& stream) {
    Blocks.clear();
    std::uint8_t length = 0;
    while (stream.u8(length) && length != 0) {
        std::span<const std::uint8_t> bytes;
        if (!stream.view(length, bytes)) throw GIFException(sGIFPrematureEnd);
        OwnerImage(*this).ChargeExtensionBytes(length + kBlockOverhead);
        Blocks.emplace_back(bytes.begin(), bytes.end());
    }
}

void TGIFUnknownAppExtension::WriteAppData(ByteWriter& stream) const {
    for (const auto& block : Blocks) {
        // Blocks set in memory are split as the format needs; read ones are 1..255 already.
        for (std::size_t at = 0; at < block.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, block.size() - at);
            stream.u8(static_cast<std::uint8_t>(n));
            stream.bytes(block.data() + at, n);
        }
    }
    stream.u8(0);
}

const TGIFExtensionClass& TGIFAppExtNSLoop::ClassInfo() {
    static const TGIFExtensionClass cls{"TGIFAppExtNSLoop", kLabel, ResolveApplication,
                                        CreateExtension<TGIFAppExtNSLoop>};
    return cls;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {
    Identifier = AppIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::ReadAppData(ByteReader& stream) {
    std::uint8_t length = 0;
    // Each length is an exact read: a file cut short inside the data ends here.
    if (!stream.u8(length)) throw GIFException(sGIFPrematureEnd);
    while (length != 0) {
        std::uint8_t id = 0;
        if (!stream.u8(id)) throw GIFException(sGIFPrematureEnd);
        unsigned rest = length - 1u;
        if ((id & 7) == 1) {
            if (rest < 2) throw GIFException(sGIFBadData);
            if (!stream.u16le(Loops)) throw GIFException(sGIFPrematureEnd);
            rest -= 2;
        } else if ((id & 7) == 2) {
            if (rest < 4) throw GIFException(sGIFBadData);
            if (!stream.u32le(BufferSize)) throw GIFException(sGIFPrematureEnd);
            rest -= 4;
        }
        if (!stream.skip(rest) || !stream.u8(length)) throw GIFException(sGIFPrematureEnd);
    }
}

void TGIFAppExtNSLoop::WriteAppData(ByteWriter& stream) const {
    stream.u8(3);
    stream.u8(1);
    stream.u16le(Loops);
    if (BufferSize != 0) {
        stream.u8(5);
        stream.u8(2);
        stream.u32le(BufferSize);
    }
    stream.u8(0);
}

// ---------------------------------------------------------------------------

TGIFExtension& TGIFExtensionList::Add(std::unique_ptr<TGIFExtension> extension) {
    fItems.push_back(std::move(extension));
    return *fItems.back();
}

void TGIFExtensionList::Delete(int index) {
    fItems.erase(fItems.begin() + index);
}

void TGIFExtensionList::Clear() {
    // One at a time from the end: each may reach back into the frame as it goes.
    while (!fItems.empty()) fItems.pop_back();
}

void TGIFExtensionList::LoadFromStream(ByteReader& stream) {
    TGIFImage& image = fFrame->Image();
    std::uint8_t b = 0;
    if (!stream.u8(b)) return;
    while (b != ',' && b != ';') {
        if (b != '!') {
            image.Warning(this, 1, sGIFBadIntroducer);
            break;
        }
        const TGIFExtensionClass* cls = FindExtensionClass(stream);
        if (!cls) throw GIFException(sGIFUnknownExtension);
        stream.seek(stream.pos() - 1);
        image.ChargeExtension();
        std::unique_ptr<TGIFExtension> extension = cls->Create(*fFrame);
        extension->LoadFromStream(stream);
        fItems.push_back(std::move(extension));
        if (!stream.u8(b)) return;
    }
    stream.seek(stream.pos() - 1);
}

void TGIFExtensionList::SaveToStream(ByteWriter& stream) const {
    for (const auto& e : fItems) e->SaveToStream(stream);
}

}  // namespace velto
