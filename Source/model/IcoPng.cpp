// PNG-stored entries of icon and cursor files, through the PNG codec.
#include "model/IcoIO.h"

namespace velto {

// Until the codec decodes, PNG entries count as unreadable.
bool TmyIcoIO::ReadPNG(TmyIcon&, std::uint8_t, bool, ByteReader&) { return false; }

std::vector<std::uint8_t> TmyIcoIO::EncodePNG(const TmyImagePal&) { return {}; }

}  // namespace velto
