#include "png/PngImage.h"

namespace velto {

namespace {
[[noreturn]] void NotYet() { throw EPngError("not implemented"); }
}  // namespace

std::string ZlibResultText(int) { NotYet(); }

TChunk::TChunk(TPNGObject& owner) : fOwner(&owner) {}
TChunk::~TChunk() = default;
void TChunk::Assign(const TChunk& source) {
    Name = source.Name;
    Data = source.Data;
}
bool TChunk::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunk::SaveToStream(ByteWriter&) { NotYet(); }
TChunkIHDR& TChunk::Header() const { return fOwner->GetHeader(); }
int TChunk::Index() const { return -1; }
std::unique_ptr<TChunk> TChunk::NewOfSameClass(TPNGObject& owner) const { return std::make_unique<TChunk>(owner); }

std::unique_ptr<TChunk> TChunkIEND::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIEND>(o); }

TChunkIHDR::TChunkIHDR(TPNGObject& owner) : TChunk(owner) {}
void TChunkIHDR::Assign(const TChunk&) { NotYet(); }
bool TChunkIHDR::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunkIHDR::SaveToStream(ByteWriter&) { NotYet(); }
void TChunkIHDR::PrepareImageData() { NotYet(); }
std::unique_ptr<TChunk> TChunkIHDR::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIHDR>(o); }

bool TChunkIDAT::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunkIDAT::SaveToStream(ByteWriter&) { NotYet(); }
std::unique_ptr<TChunk> TChunkIDAT::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIDAT>(o); }

void TChunkPLTE::Assign(const TChunk&) { NotYet(); }
bool TChunkPLTE::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunkPLTE::SaveToStream(ByteWriter&) { NotYet(); }
TRGBQuad TChunkPLTE::GetPaletteItem(int) const { NotYet(); }
std::unique_ptr<TChunk> TChunkPLTE::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkPLTE>(o); }

void TChunktRNS::Assign(const TChunk&) { NotYet(); }
bool TChunktRNS::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunktRNS::SaveToStream(ByteWriter&) { NotYet(); }
bool TChunktRNS::AppliesToImage() const { NotYet(); }
TColor TChunktRNS::TransparentColor() const { NotYet(); }
void TChunktRNS::SetTransparentColor(TColor) { NotYet(); }
std::unique_ptr<TChunk> TChunktRNS::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktRNS>(o); }

TChunkgAMA::TChunkgAMA(TPNGObject& owner) : TChunk(owner) {}
void TChunkgAMA::Assign(const TChunk&) { NotYet(); }
bool TChunkgAMA::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
std::uint32_t TChunkgAMA::Gamma() const { NotYet(); }
void TChunkgAMA::SetGamma(std::uint32_t) { NotYet(); }
std::unique_ptr<TChunk> TChunkgAMA::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkgAMA>(o); }

void TChunkpHYs::Assign(const TChunk&) { NotYet(); }
bool TChunkpHYs::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunkpHYs::SaveToStream(ByteWriter&) { NotYet(); }
std::unique_ptr<TChunk> TChunkpHYs::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkpHYs>(o); }

void TChunktIME::Assign(const TChunk&) { NotYet(); }
bool TChunktIME::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunktIME::SaveToStream(ByteWriter&) { NotYet(); }
std::unique_ptr<TChunk> TChunktIME::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktIME>(o); }

void TChunktEXt::Assign(const TChunk&) { NotYet(); }
bool TChunktEXt::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunktEXt::SaveToStream(ByteWriter&) { NotYet(); }
std::unique_ptr<TChunk> TChunktEXt::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktEXt>(o); }

bool TChunkzTXt::LoadFromStream(ByteReader&, const TChunkName&, std::uint32_t) { NotYet(); }
bool TChunkzTXt::SaveToStream(ByteWriter&) { NotYet(); }
std::unique_ptr<TChunk> TChunkzTXt::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkzTXt>(o); }

void RegisterChunk(std::string_view, TChunkFactory) { NotYet(); }
std::unique_ptr<TChunk> CreateClassChunk(TPNGObject&, const TChunkName&) { NotYet(); }

TChunk* TPNGList::GetItem(int index) const {
    return index >= 0 && index < Count() ? fItems[static_cast<std::size_t>(index)].get() : nullptr;
}
void TPNGList::RemoveChunk(TChunk*) { NotYet(); }
TChunk* TPNGList::AddChunk(std::unique_ptr<TChunk>) { NotYet(); }

TPNGObject::TPNGObject() : fChunks(*this) { InitializeGamma(); }
TPNGObject::~TPNGObject() = default;
void TPNGObject::CreateBlank(std::uint8_t, std::uint8_t, int, int) { NotYet(); }
void TPNGObject::LoadFromStream(ByteReader&) { NotYet(); }
void TPNGObject::SaveToStream(ByteWriter&) { NotYet(); }
bool TPNGObject::LoadFromFile(const std::string&) { NotYet(); }
bool TPNGObject::SaveToFile(const std::string&) { NotYet(); }
void TPNGObject::Assign(const TBitmap&) { NotYet(); }
void TPNGObject::AssignPNG(const TPNGObject&) { NotYet(); }
void TPNGObject::AssignHandle(const TBitmap&, bool, TColor) { NotYet(); }
void TPNGObject::ClearChunks() {
    InitializeGamma();
    fChunks.fItems.clear();
}
int TPNGObject::Width() const { return 0; }
int TPNGObject::Height() const { return 0; }
TChunkIHDR& TPNGObject::GetHeader() const { NotYet(); }
bool TPNGObject::HeaderPresent() const { return false; }
std::uint8_t TPNGObject::TransparencyMode() const { NotYet(); }
TColor TPNGObject::TransparentColor() const { NotYet(); }
TColor TPNGObject::GetPixels(int, int) const { NotYet(); }
void TPNGObject::SetPixels(int, int, TColor) { NotYet(); }
std::uint8_t* TPNGObject::Scanline(int) { NotYet(); }
const std::uint8_t* TPNGObject::Scanline(int) const { NotYet(); }
std::uint8_t* TPNGObject::ExtraScanline(int) { NotYet(); }
std::uint8_t* TPNGObject::AlphaScanline(int) { NotYet(); }
const std::uint8_t* TPNGObject::AlphaScanline(int) const { NotYet(); }
void TPNGObject::CreateAlpha() { NotYet(); }
TPaletteEntries TPNGObject::Palette() const { NotYet(); }
void TPNGObject::SetPalette(std::span<const TPaletteEntry>) { NotYet(); }
void TPNGObject::InitializeGamma() {
    for (int i = 0; i < 256; ++i) GammaTable[static_cast<std::size_t>(i)] = InverseGamma[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
}
void TPNGObject::SetMaxIdatSize(std::int32_t value) { fMaxIdatSize = value < 65535 ? 65535 : value; }

}  // namespace velto
