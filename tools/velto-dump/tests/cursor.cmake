# Icons, cursors and animated cursors.
velto_dump_test(ico "${VELTO_CORPUS_DIR}/pillow/hopper.ico"
  [[{"kind": "ico", "images": [{"width": 16, "height": 16, "bitcount": 8, "hotspot": [0, 0], "rate": null, "rgba_sha256": "79acd705459e9f6116ae4293b068aadf1b8007cb2a4bf72c5f8c027df9dfb48f"}]}]] 0)
velto_dump_test(cur "${VELTO_CORPUS_DIR}/pillow/deerstalker.cur"
  [[{"kind": "cur", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "7036a2735cc8268bd4ba22ddee950c270fcde5996386d60edb187a0b88ccc25e"}]}]] 0)
velto_dump_test(cur_without_images "${VELTO_CORPUS_DIR}/pillow/no_cursors.cur"
  [[{"kind": "cur", "error": "not readable as cur"}]] 1)
velto_dump_test(ani_named_cur "${VELTO_CORPUS_DIR}/ani-fixtures/Green Dimension v2/eqslid.cur"
  [[{"kind": "ani", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": 0.13333333333333333, "rgba_sha256": "110ea2591f2fd17ca3dddcf195939ba48772de83c6bba0e523ee8673b1154247"}, {"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": 0.13333333333333333, "rgba_sha256": "78582be7fbb8a7b29623db4a69691b773f41b9cfeb1401224d76092d13a804e9"}], "title": "", "author": ""}]] 0)
# A Targa file that begins like a cursor file is shown as the picture it is.
velto_dump_test(targa_with_cursor_bytes "${VELTO_CORPUS_DIR}/pillow/rgba16.tga"
  [[{"kind": "tga", "images": [{"width": 2, "height": 1, "bitcount": 16, "format": 83, "rgba_sha256": "231660044faa5e248e9f31aa79d57b7ec30af4a5b6386aa79ea63ed804c2bea2"}]}]] 0)
