# `cpack -G DEB` in a configured build makes kalder_<version>_<arch>.deb from the install rules.
# The run-time dependencies come from dpkg-shlibdeps over the installed programs and modules; the
# SANE library is opened at run time, so scanning is a recommendation, not a dependency.
set(CPACK_PACKAGE_NAME kalder)
set(CPACK_PACKAGE_VENDOR "The Kalder developers")
set(CPACK_PACKAGE_CONTACT "The Kalder developers <packages@kalder.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image viewer and image-folder browser")
set(CPACK_PACKAGE_DESCRIPTION
    "Kalder shows an image fitted to its window and keeps the other images of its folder one key \
press away, or lists a folder as thumbnails. It reads BMP, GIF, JPEG, PNG, TIFF, PCX, TGA, SGI, \
Sun raster, ILBM, PSD, Utah RLE, icons and cursors, metafiles, JPEG 2000, WebP, AVIF, HEIC/HEIF \
and JPEG XL, converts in batches and prints. kalder-cli offers the same engines to scripts, and \
makes thumbnails of these formats for file managers.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kalder.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsane1, xdg-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
