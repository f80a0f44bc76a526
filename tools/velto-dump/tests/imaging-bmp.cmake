# Windows bitmaps through the image library; each hash was checked against
# Pillow's RGBA of the same file. A file cut short is refused.
velto_dump_test(imaging_bmp_pal8 "${VELTO_CORPUS_DIR}/pillow/bmp/g/pal8.bmp"
  [[{"kind": "bmp", "images": [{"width": 127, "height": 64, "bitcount": 8, "format": 10, "rgba_sha256": "9f33d52c158d285928d5c27e5b59b84aaa26a53ab5d204383d72889c6f6d9051"}]}]] 0)
velto_dump_test(imaging_bmp_rgb32_no_alpha "${VELTO_CORPUS_DIR}/pillow/bmp/g/rgb32.bmp"
  [[{"kind": "bmp", "images": [{"width": 127, "height": 64, "bitcount": 32, "format": 89, "rgba_sha256": "ac4dbaf6110c3f2c88edb4221e90dd2567525b25cd1c1c736aafd584b206d053"}]}]] 0)
velto_dump_test(imaging_bmp_short "${VELTO_CORPUS_DIR}/pillow/bmp/b/shortfile.bmp" [[{"kind": "bmp", "error": "not readable as bmp"}]] 1)
