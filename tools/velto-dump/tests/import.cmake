# --import W H FILE: the image importing makes for a new W x H document. The
# same picture as PNG and as BMP gives the same image; a Targa file that
# begins like a cursor file imports as the picture it is.
velto_dump_test(import_png "${VELTO_CORPUS_DIR}/pillow/hopper.png"
  [[{"kind": "png", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "0f602744ea6416261bc71cc28ea3f251c20e38fdff31b41441d37bfbd8f231b2"}]}]] 0 -DIMPORT=32x32)
velto_dump_test(import_bmp "${VELTO_CORPUS_DIR}/pillow/hopper.bmp"
  [[{"kind": "bmp", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "0f602744ea6416261bc71cc28ea3f251c20e38fdff31b41441d37bfbd8f231b2"}]}]] 0 -DIMPORT=32x32)
velto_dump_test(import_jpeg "${VELTO_CORPUS_DIR}/pillow/hopper.jpg"
  [[{"kind": "jpeg", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "f90352c5ec0e4aa7b174cef593efa7ac18c0bd0b30100d6f68d48f137bab88eb"}]}]] 0 -DIMPORT=32x32)
velto_dump_test(import_gif "${VELTO_CORPUS_DIR}/pillow/hopper.gif"
  [[{"kind": "gif", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "8d46ad01fd0bfbbbb0886194f0320136ddaf79a486dbfcff732a55ff89bce6f6"}]}]] 0 -DIMPORT=32x32)
velto_dump_test(import_ico_tall "${VELTO_CORPUS_DIR}/pillow/hopper.ico"
  [[{"kind": "ico", "images": [{"width": 16, "height": 48, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "665d59441bad5b8b141d6cfaca849a1b41af65e3910df1580fe5d76c06e6ab3d"}]}]] 0 -DIMPORT=16x48)
velto_dump_test(import_targa_with_cursor_bytes "${VELTO_CORPUS_DIR}/pillow/rgba16.tga"
  [[{"kind": "cur", "images": [{"width": 32, "height": 32, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "3e4e0a73d821ffb4da8c51a5f8e1d906382666e031ae2ae6e3bb471c89fa4ca9"}]}]] 0 -DIMPORT=32x32)
velto_dump_test(import_not_a_cursor "${VELTO_CORPUS_DIR}/pillow/no_cursors.cur"
  [[{"kind": "cur", "error": "Invalid icon or cursor file!"}]] 1 -DIMPORT=32x32)
velto_dump_test(import_unknown "${VELTO_CORPUS_DIR}/pillow/LICENSE"
  [[{"kind": "unknown", "error": "Unknown file type!"}]] 1 -DIMPORT=32x32)
velto_dump_test(import_missing "${CMAKE_CURRENT_BINARY_DIR}/no-such.png"
  "{\"error\": \"No such file or directory: ${CMAKE_CURRENT_BINARY_DIR}/no-such.png\"}" 1 -DIMPORT=32x32)
# A 57 x 57 RGBA picture centred in 64 x 64 at (3, 3): the hash was checked
# once against Pillow's pixels pasted there.
velto_dump_test(import_centred "${VELTO_CORPUS_DIR}/pillow/icc_profile_none.png"
  [[{"kind": "png", "images": [{"width": 64, "height": 64, "bitcount": 32, "hotspot": [0, 0], "rate": null, "rgba_sha256": "2d4fe0053c993fb32694c45140b4df73af59f1ab2b0ffcb3aff9cdd37ad54703"}]}]] 0 -DIMPORT=64x64)
