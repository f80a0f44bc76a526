# Apple icon files: every image as read (32-bit planes with their masks, the
# 256x256 PNG or JPEG 2000 picture); the hostile sample is refused.
velto_dump_test(icns_pillow2 "${VELTO_CORPUS_DIR}/pillow/pillow2.icns"
  [[{"kind": "icns", "images": [{"width": 256, "height": 256, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "9d302c617999a8a3b2de6ee9b239717fb8d104590d9b0528ce9b08b2effb158f"}, {"width": 128, "height": 128, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "1a9fb4ce2d6f706fa1143d21f40bfae7c4f152d4235c7b24beabba4c75e5f8b1"}, {"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "d6081f5569d6005d3171df5a6c14ca13eb6fa5c4c931c614a0fa23f2d79bbf4a"}, {"width": 16, "height": 16, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "c89c49abb7ef268252efff4b99a383c2648bfbf159122e567bc323dc0415d40a"}]}]] 0)
velto_dump_test(icns_pillow3 "${VELTO_CORPUS_DIR}/pillow/pillow3.icns"
  [[{"kind": "icns", "images": [{"width": 256, "height": 256, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "b41bab070720547064e1a630f5d0a857f3a7f343045a578a5a75d56f27324ee1"}]}]] 0)
velto_dump_test(icns_oom "${VELTO_CORPUS_DIR}/pillow/oom-8ed3316a4109213ca96fb8a256a0bfefdece1461.icns"
  [[{"kind": "icns", "error": "not readable as icns"}]] 1)
