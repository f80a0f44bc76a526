// The block codecs are not part of the library yet: converting to or from a
// block-compressed format fails cleanly instead of producing wrong pixels.
#include "imaging/BlockFormats.h"

namespace velto {

void ConvertImageSpecial(TImageData&, const TImageFormatInfo& src, const TImageFormatInfo& dst) {
    throw EImagingError(std::string("Block-compressed pixel formats are not supported (") + src.Name + " to " +
                        dst.Name + ").");
}

}  // namespace velto
