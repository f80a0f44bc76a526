# Targa through the image library: grey with alpha from the bottom up, colour
# mapped and 32-bit run-length data; checked against Pillow.
velto_dump_test(imaging_tga_la_rle "${VELTO_CORPUS_DIR}/pillow/tga/common/200x32_la_bl_rle.tga"
  [[{"kind": "tga", "images": [{"width": 200, "height": 32, "bitcount": 16, "format": 41, "rgba_sha256": "0e03256e56f3faf09a70e708c51ae80046ec2eec93f9f154b69e3735d51a5633"}]}]] 0)
velto_dump_test(imaging_tga_mapped_rle "${VELTO_CORPUS_DIR}/pillow/tga/common/200x32_p_tl_rle.tga"
  [[{"kind": "tga", "images": [{"width": 200, "height": 32, "bitcount": 8, "format": 10, "rgba_sha256": "ef9df26ba1fb4916cec33c1fc69c2a99aa5562796f8ccea0b8049218319af6a1"}]}]] 0)
velto_dump_test(imaging_tga_rgba_rle "${VELTO_CORPUS_DIR}/pillow/rgb32rle.tga"
  [[{"kind": "tga", "images": [{"width": 199, "height": 199, "bitcount": 32, "format": 88, "rgba_sha256": "e16d02c2ed47b57aba473ce873439f2ccd18d6fd40476cfc65aaf5d08fc7be00"}]}]] 0)
