# JPEG 2000 files of 65,535 quality layers (the main header's, or later tiles' own) are refused by their charge, as
# too large, on both roads.
foreach(_name layers-rpcl.j2k layers.jp2 layers-in-later-tiles.j2k)
  set(_layers "${PROJECT_SOURCE_DIR}/fuzz/seeds/jp2.too-large/${_name}")
  string(MAKE_C_IDENTIFIER "${_name}" _id)
  velto_dump_test(imaging_${_id}_too_large "${_layers}" [[{"kind": "jp2", "error": "too large to be read as jp2"}]] 1)
  velto_dump_test(import_${_id}_too_large "${_layers}" "{\"error\": \"file too large: ${_layers}\"}" 1 -DIMPORT=32x32)
endforeach()
