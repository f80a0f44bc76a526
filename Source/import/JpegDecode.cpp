// The common JPEG (one Huffman-coded scan of grey, YCbCr or RGB samples)
// decoded straight into the working picture: libjpeg delivers the R, G, B, A
// bytes of a pixel itself, so a photo of many megabytes is not converted
// once more after decoding. Every other JPEG goes through the image library.
// Same decoder settings as the image library (full size, block smoothing,
// default DCT and upsampling), so both give the same pixels.
#include "import/JpegDecode.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "imaging/Imaging.h"

namespace velto {

namespace {

struct ErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
}
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

// The decoder's state, plain data only: a failure jumps back over these frames.
struct Context {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    bool created;
};

enum class Header { Ok, Failed, TooLarge, Other };

// Reads the header and decides whether this road takes the file.
Header ReadHeader(Context* c, const std::uint8_t* data, std::size_t size) {
    // libjpeg's own bound of a side is a limit too, not damage.
    if (setjmp(c->err.jump)) return c->err.pub.msg_code == JERR_IMAGE_TOO_BIG ? Header::TooLarge : Header::Failed;
    jpeg_create_decompress(&c->cinfo);
    c->created = true;
    jpeg_mem_src(&c->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&c->cinfo, TRUE);
    if (c->cinfo.arith_code || jpeg_has_multiple_scans(&c->cinfo)) return Header::Other;
    if (c->cinfo.out_color_space != JCS_GRAYSCALE && c->cinfo.out_color_space != JCS_RGB) return Header::Other;
    return Header::Ok;
}

bool DecodeRows(Context* c, TWorkPicture* picture) {
    if (setjmp(c->err.jump)) return false;
    c->cinfo.out_color_space = JCS_EXT_RGBA;
    c->cinfo.scale_num = 1;
    c->cinfo.scale_denom = 1;
    c->cinfo.do_block_smoothing = TRUE;
    jpeg_start_decompress(&c->cinfo);
    if (c->cinfo.output_components != 4 || int(c->cinfo.output_width) != picture->Width ||
        int(c->cinfo.output_height) != picture->Height)
        return false;
    while (c->cinfo.output_scanline < c->cinfo.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(picture->Row(static_cast<int>(c->cinfo.output_scanline)));
        if (jpeg_read_scanlines(&c->cinfo, &row, 1) != 1) return false;
    }
    jpeg_finish_decompress(&c->cinfo);
    return true;
}

}  // namespace

TJpegDecode DecodeJpeg(std::span<const std::uint8_t> data, TWorkPicture& picture) {
    Context c{};
    c.cinfo.err = jpeg_std_error(&c.err.pub);
    c.err.pub.error_exit = ErrorExit;
    c.err.pub.emit_message = EmitMessage;
    c.err.pub.output_message = OutputMessage;
    struct Destroy {
        Context& c;
        ~Destroy() {
            if (c.created) jpeg_destroy_decompress(&c.cinfo);
        }
    } destroy{c};

    switch (ReadHeader(&c, data.data(), data.size())) {
    case Header::Failed: return TJpegDecode::Failed;
    case Header::TooLarge: return TJpegDecode::TooLarge;
    case Header::Other: return TJpegDecode::NotTaken;
    case Header::Ok: break;
    }
    // The blocks the stored bytes can code (a bit each at least): fewer
    // bytes are a damaged file, whatever size it declares, as the image
    // library judges it. Then its bounds of the pixels and bytes a picture may have.
    const std::uint64_t pixels = std::uint64_t(c.cinfo.image_width) * c.cinfo.image_height;
    std::uint64_t blocks = 0;
    for (int i = 0; i < c.cinfo.num_components; ++i)
        blocks += std::uint64_t(c.cinfo.comp_info[i].width_in_blocks) * c.cinfo.comp_info[i].height_in_blocks;
    if (blocks > std::uint64_t(data.size()) * 8) return TJpegDecode::Failed;
    if (pixels > ImagingLimits().pixels || pixels * 4 > ImagingLimits().imageBytes) return TJpegDecode::TooLarge;
    if (!picture.Allocate(static_cast<int>(c.cinfo.image_width), static_cast<int>(c.cinfo.image_height)))
        return TJpegDecode::Failed;
    return DecodeRows(&c, &picture) ? TJpegDecode::Decoded : TJpegDecode::Failed;
}

}  // namespace velto
