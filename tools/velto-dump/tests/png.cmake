# PNG files. The palette case was checked once against Pillow's RGBA of the same file.
velto_dump_test(png_palette_trns "${VELTO_CORPUS_DIR}/pillow/p_trns_single.png"
  [[{"kind": "png", "images": [{"width": 64, "height": 64, "bitcount": 8, "rgba_sha256": "2be7138b8ecf072418e9f42843cc94b382a28d3249bb6baa99b183af41b6bb17"}]}]] 0)
velto_dump_test(png_broken "${VELTO_CORPUS_DIR}/pillow/broken.png" [[{"kind": "png", "error": "not readable as png"}]] 1)
# Refused by a limit, not for damage, on both roads.
set(_wide_png "${PROJECT_SOURCE_DIR}/fuzz/seeds/png/wider-than-the-codec-takes.png")
velto_dump_test(png_too_wide "${_wide_png}" [[{"kind": "png", "error": "too large to be read as png"}]] 1)
velto_dump_test(import_png_too_wide "${_wide_png}" "{\"error\": \"file too large: ${_wide_png}\"}" 1 -DIMPORT=32x32)
