# JPEG files through the image library. Each hash is that of djpeg's decoding
# of the same file; a cut file decodes as far as it goes; CMYK loads opaque.
velto_dump_test(imaging_jpeg_rgb "${VELTO_CORPUS_DIR}/pillow/hopper.jpg"
  [[{"kind": "jpg", "images": [{"width": 128, "height": 128, "bitcount": 24, "format": 87, "rgba_sha256": "0653faf350159e503206387d8793ddb07ec8fac1113a73413e4734f9f9deed13"}]}]] 0)
velto_dump_test(imaging_jpeg_grey "${VELTO_CORPUS_DIR}/pillow/hopper_gray.jpg"
  [[{"kind": "jpg", "images": [{"width": 128, "height": 128, "bitcount": 8, "format": 40, "rgba_sha256": "0ca28623a05702ea74091e923134d3b2256c7e69e9a55f5ac33cacabc3b6d3c2"}]}]] 0)
velto_dump_test(imaging_jpeg_cut "${VELTO_CORPUS_DIR}/pillow/truncated_jpeg.jpg"
  [[{"kind": "jpg", "images": [{"width": 100, "height": 100, "bitcount": 24, "format": 87, "rgba_sha256": "1c061e331d25294eaef874938fcb8baecc3df4c63b6b8fcb5a6aea78d1199ba3"}]}]] 0)
velto_dump_test(imaging_jpeg_cmyk "${VELTO_CORPUS_DIR}/pillow/pil_sample_cmyk.jpg"
  [[{"kind": "jpg", "images": [{"width": 100, "height": 100, "bitcount": 32, "format": 88, "rgba_sha256": "beb5718fa7b9deb39106c0b9db666f5056062396a538e171a16ba584365a6913"}]}]] 0)
velto_dump_test(imaging_jpeg_junk "${PROJECT_SOURCE_DIR}/fuzz/seeds/jpeg/junk-after-soi.jpg"
  [[{"kind": "jpg", "error": "not readable as jpg"}]] 1)
# Wider than libjpeg decodes: refused by a limit, not for damage, on both roads.
set(_wide_jpeg "${PROJECT_SOURCE_DIR}/fuzz/seeds/jpeg/wider-than-the-decoder-takes.jpg")
velto_dump_test(imaging_jpeg_too_wide "${_wide_jpeg}" [[{"kind": "jpg", "error": "too large to be read as jpg"}]] 1)
velto_dump_test(import_jpeg_too_wide "${_wide_jpeg}" "{\"error\": \"file too large: ${_wide_jpeg}\"}" 1 -DIMPORT=32x32)
