# Formats of the image library (found by content). The test card was checked
# once against Pillow's RGBA of the same file; a 9-bit code stream keeps its
# samples unscaled in a 16-bit grey image; a cut file is refused.
velto_dump_test(imaging_jp2_rgb "${VELTO_CORPUS_DIR}/pillow/test-card-lossless.jp2"
  [[{"kind": "jp2", "images": [{"width": 640, "height": 480, "bitcount": 24, "format": 87, "rgba_sha256": "749646d5460c54213d4d9b0cc4db66876437e4127182cc855525fd03b0a5f95b"}]}]] 0)
velto_dump_test(imaging_j2k_9bit "${VELTO_CORPUS_DIR}/pillow/9bit.j2k"
  [[{"kind": "jp2", "images": [{"width": 128, "height": 128, "bitcount": 16, "format": 42, "rgba_sha256": "d451a436759e0ba055d88ced61890b85e5df92399d2af76b8e9fe8f7759a8f5a"}]}]] 0)
velto_dump_test(imaging_jp2_cut "${VELTO_CORPUS_DIR}/pillow/not_enough_data.jp2" [[{"kind": "jp2", "error": "not readable as jp2"}]] 1)
