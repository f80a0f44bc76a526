#include "model/AniIO.h"

namespace velto {

std::uint32_t SecondsToJiffies(double) { return 0; }
long double JiffiesToSeconds(std::uint32_t jiffies) { return static_cast<long double>(jiffies) / 60.0L; }

TmyANIIO::TmyANIIO(bool showMessages) : ShowMessagesFlag(showMessages) {}

bool TmyANIIO::LoadFromFile(TmyIcon&, const std::string&) { return false; }
bool TmyANIIO::LoadFromBytes(TmyIcon&, std::span<const std::uint8_t>) { return false; }
bool TmyANIIO::SaveToFile(const TmyIcon&, const std::string&, bool) { return false; }
bool TmyANIIO::SaveToBytes(const TmyIcon&, std::vector<std::uint8_t>& out) {
    out.clear();
    return false;
}

}  // namespace velto
