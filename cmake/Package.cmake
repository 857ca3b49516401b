# A Debian package of the installed tree: cpack -G DEB in the build folder
# gives tamsel_VERSION_ARCH.deb, for apt-get install ./tamsel_....deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamsel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tamsel")
set(CPACK_PACKAGE_CONTACT "Tamsel developers <tamsel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "font library of an HMI panel studio, with its studio host")
set(CPACK_PACKAGE_DESCRIPTION
  "Keeps a project's font table (Font.hft), its default faces and font pack (fpf.ini),
the dialogs through which users maintain and pick fonts, and compiles the
project's texts to a panel's fonts: pre-rendered QPF2 bitmap fonts and
TrueType files cut down to the characters the texts use (HarfBuzz's
subsetter, fontTools as its fallback). tamsel-studio drives it from the
command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build's debugging information stays in the build.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tamsel.invalid/")
# The libraries the programs link: found by dpkg-shlibdeps. What is loaded
# at run time without being linked is declared: HarfBuzz's subsetter (by
# the subsetting script, through ctypes), fontTools (its fallback) and
# fontconfig's fonts for the default machine profile, whose FontSubstitutes
# map Arial to Liberation Sans and the Chinese faces to a CJK face.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libharfbuzz-subset0, python3-fonttools, fontconfig, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-noto-cjk | fonts-wqy-zenhei, fonts-crosextra-carlito")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "opentype-sanitizer")
include(CPack)
