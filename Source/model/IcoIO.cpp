#include "model/IcoIO.h"

namespace velto {

TmyIcoIO::TmyIcoIO(bool showMessages) : ShowMessagesFlag(showMessages) {}

bool TmyIcoIO::LoadFromFile(TmyIcon&, const std::string&) { return false; }
bool TmyIcoIO::LoadFromStream(TmyIcon&, ByteReader&) { return false; }
bool TmyIcoIO::ReadImage(TmyIcon&, std::uint8_t, ByteReader&, bool) { return false; }
bool TmyIcoIO::SaveToFile(const TmyIcon&, const std::string&, bool) { return false; }
bool TmyIcoIO::SaveToStream(const TmyIcon&, ByteWriter&, bool) { return false; }
std::int64_t TmyIcoIO::ImageDataSize(int, int, int) { return 0; }
std::int64_t TmyIcoIO::MaskDataSize(int, int, int) { return 0; }
std::int64_t TmyIcoIO::PNGDataSize(const TmyImagePal&) { return 0; }
std::vector<std::uint8_t> TmyIcoIO::EncodePNG(const TmyImagePal&) { return {}; }
void TmyIcoIO::ShowMessage(const std::string&, int) const {}
bool TmyIcoIO::ReadBitmap(TmyIcon&, ByteReader&, std::uint64_t) { return false; }
bool TmyIcoIO::ReadPNG(TmyIcon&, std::uint8_t, bool, ByteReader&) { return false; }

}  // namespace velto
