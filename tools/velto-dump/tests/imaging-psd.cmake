# PSD merged images through the image library; checked against Pillow.
velto_dump_test(imaging_psd_rgb "${VELTO_CORPUS_DIR}/pillow/hopper.psd"
  [[{"kind": "psd", "images": [{"width": 128, "height": 128, "bitcount": 24, "format": 87, "rgba_sha256": "35c942eea179c75272ea0882e62ccc4a516a212a917193f6796c72ee8ae13911"}]}]] 0)
velto_dump_test(imaging_psd_rgba "${VELTO_CORPUS_DIR}/pillow/rgba.psd"
  [[{"kind": "psd", "images": [{"width": 100, "height": 100, "bitcount": 32, "format": 88, "rgba_sha256": "6a6b74492f7ca93c6fe7d1588d64bdf8b1c1fb2b12163e02534979639291d2bb"}]}]] 0)
