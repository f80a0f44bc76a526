# DDS textures through the image library (the top level). The uncompressed
# hash is that of Pillow's RGBA; the block-compressed ones agree with Pillow
# within the rounding the peer tests allow. An extended (BC7) header is refused.
velto_dump_test(imaging_dds_dxt1 "${VELTO_CORPUS_DIR}/pillow/dxt1-rgb-4bbp-noalpha_MipMaps-1.dds"
  [[{"kind": "dds", "images": [{"width": 256, "height": 256, "bitcount": 0, "format": 220, "rgba_sha256": "9dc28871658d171de1cfef77f6b36531359168e0b0c74aaa7f244a1abfa15598"}]}]] 0)
velto_dump_test(imaging_dds_dxt5 "${VELTO_CORPUS_DIR}/pillow/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds"
  [[{"kind": "dds", "images": [{"width": 256, "height": 256, "bitcount": 0, "format": 222, "rgba_sha256": "bc0ee3e2164bc981d248129070623bab79d2809b3e6876a3f160f78f365519bf"}]}]] 0)
velto_dump_test(imaging_dds_rgba "${VELTO_CORPUS_DIR}/pillow/uncompressed_rgb.dds"
  [[{"kind": "dds", "images": [{"width": 800, "height": 600, "bitcount": 32, "format": 88, "rgba_sha256": "dd799a9206b8286d47d519b5392ec9fdc3ded20b81cec15c2c40a4187a5aa6d5"}]}]] 0)
velto_dump_test(imaging_dds_bc7 "${VELTO_CORPUS_DIR}/pillow/bc7-argb-8bpp_MipMaps-1.dds" [[{"kind": "dds", "error": "not readable as dds"}]] 1)
