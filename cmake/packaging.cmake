# The Debian package, made by CPack: `cmake --build build --target package` writes
# build/picbatch_<version>_<architecture>.deb (dpkg --print-architecture, e.g. amd64) with both
# programs and everything they install.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME picbatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "picbatch developers <picbatch@example.org>")
# The formats the program reads, named as the rows of the format table name them
# (pictures/picture_format.cpp), in the order of their bytes: "BMP, JPEG, PNG and WebP".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/pictures/picture_format.cpp)
file(STRINGS ${PROJECT_SOURCE_DIR}/pictures/picture_format.cpp picbatch_format_rows REGEX "^ *\\.name = \"")
set(picbatch_formats)
foreach(row IN LISTS picbatch_format_rows)
  string(REGEX REPLACE "^ *\\.name = \"([^\"]+)\".*" "\\1" name "${row}")
  list(APPEND picbatch_formats "${name}")
endforeach()
list(SORT picbatch_formats)
list(POP_BACK picbatch_formats picbatch_last_format)
list(JOIN picbatch_formats ", " picbatch_format_names)
set(picbatch_format_names "${picbatch_format_names} and ${picbatch_last_format}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch picture resizer for ${picbatch_format_names} files")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, as dpkg-shlibdeps finds them, rather than a list kept by hand;
# the ICU that orders names is loaded at run time, so it is named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Also loaded at run time: Qt's platform plugins, which put the window on the screen.
string(REGEX MATCH "^[0-9]+" picbatch_icu_major "${ICU_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libicu${picbatch_icu_major}, qt6-qpa-plugins")
# The window's Chinese texts need a font with the glyphs, and Qt's buttons their translation.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, qt6-translations-l10n")
# The long description; CPack puts the summary above it and indents it as Debian asks.
set(CPACK_PACKAGE_DESCRIPTION "picbatch resizes every picture of a folder to one exact size with a
two-pass Lanczos-3 filter and writes the results into another folder, in
their own format or as baseline JPEG (quality 90) or 24-bit BMP, under the
source name with an upper-case stem. It reads ${picbatch_format_names}
files. An existing file is replaced only once its new content is complete.

The package holds the window program picbatch (Chinese user interface) and
the command-line program picbatch-cli, which writes the same files on several
threads.")

# What Debian's policy asks of every package: the copyright and a changelog, compressed (a
# package made here, not from a separate upstream release, names it changelog.gz).
set(picbatch_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/picbatch)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${picbatch_doc_dir})
set(picbatch_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${picbatch_changelog}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/resources/debian/changelog > ${picbatch_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(debian_changelog ALL DEPENDS ${picbatch_changelog})
install(FILES ${picbatch_changelog} DESTINATION ${picbatch_doc_dir})

include(CPack)
