# Portable maps through the image library (plain bit map digits without
# separators, plain pixel map); checked against Pillow. A negative size is no map.
velto_dump_test(imaging_pbm_plain "${VELTO_CORPUS_DIR}/pillow/hopper_1bit_plain.pbm"
  [[{"kind": "pbm", "images": [{"width": 128, "height": 128, "bitcount": 8, "format": 40, "rgba_sha256": "9f704f6e55db8bf28b6e7aa4901c2189d8a823c09833dcdee8aee1d671794306"}]}]] 0)
velto_dump_test(imaging_ppm_plain "${VELTO_CORPUS_DIR}/pillow/hopper_8bit_plain.ppm"
  [[{"kind": "ppm", "images": [{"width": 128, "height": 128, "bitcount": 24, "format": 87, "rgba_sha256": "86930caa3ba582ecb7076e830f09ae0e4eb4f6a7ba8eb9036d593b51d5e3af2c"}]}]] 0)
velto_dump_test(imaging_ppm_negative "${VELTO_CORPUS_DIR}/pillow/negative_size.ppm" [[{"kind": "unknown"}]] 0)
