# The fuzz targets: name, source and the definitions it is built with. Included by the
# libFuzzer build (tests/fuzz) and by the test build, which replays each target's corpus
# (tests/fuzz/corpus/<name without fuzz_>).
set(PICBATCH_FUZZ_TARGETS fuzz_bmp fuzz_jpeg fuzz_png fuzz_webp fuzz_exif
    fuzz_road_jpg fuzz_road_bmp fuzz_road_png fuzz_road_webp)
set(fuzz_bmp_SOURCE fuzz_bmp.cpp)
set(fuzz_jpeg_SOURCE fuzz_jpeg.cpp)
set(fuzz_exif_SOURCE fuzz_exif.cpp)
set(fuzz_png_SOURCE fuzz_png.cpp)
set(fuzz_webp_SOURCE fuzz_webp.cpp)
set(fuzz_road_jpg_SOURCE fuzz_road.cpp)
set(fuzz_road_jpg_DEFINITIONS FUZZ_SOURCE_NAME="picture.jpg")
set(fuzz_road_bmp_SOURCE fuzz_road.cpp)
set(fuzz_road_bmp_DEFINITIONS FUZZ_SOURCE_NAME="picture.bmp")
set(fuzz_road_png_SOURCE fuzz_road.cpp)
set(fuzz_road_png_DEFINITIONS FUZZ_SOURCE_NAME="picture.png")
set(fuzz_road_webp_SOURCE fuzz_road.cpp)
set(fuzz_road_webp_DEFINITIONS FUZZ_SOURCE_NAME="picture.webp")
