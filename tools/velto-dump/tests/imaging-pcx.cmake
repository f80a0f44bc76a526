# PCX through the image library (lines wider than the image); checked against Pillow.
velto_dump_test(imaging_pcx_odd_stride "${VELTO_CORPUS_DIR}/pillow/odd_stride.pcx"
  [[{"kind": "pcx", "images": [{"width": 371, "height": 150, "bitcount": 8, "format": 10, "rgba_sha256": "1ddf23cd273bbecd4ff78a5168dad05959c35a56989643d71877405339542c5f"}]}]] 0)
