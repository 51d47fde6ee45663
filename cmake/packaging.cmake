# `make package`: a Debian package of the installed files, built by CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME folim)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image viewer with search by similarity")
set(CPACK_PACKAGE_DESCRIPTION
    "Folim browses folders of images as pages of thumbnails, opens images at
full size and saves them in other formats. It converts folders of images
into its own compressed format RIM (Retrieval-aware Image Format) and back,
and ranks the RIM files of a folder by similarity to a query image without
decoding them. The package holds the desktop application folim, the
command-line tool folim-cli, a thumbnailer for file managers and a Qt image
plugin that lets every Qt 6 program read RIM files.")
set(CPACK_PACKAGE_CONTACT "Folim developers <folim-devel@users.noreply.github.com>"
    CACHE STRING "Package maintainer, as Debian spells it: name <address>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FOLIM_HOMEPAGE})
# Library dependencies come from the binaries themselves (FAISS is linked
# statically; its BLAS, LAPACK and OpenMP libraries are found so); Qt's
# platform plugins are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# libpq5 is loaded only for an index on a PostgreSQL server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, shared-mime-info, desktop-file-utils, libpq5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/cmake/debian/postinst ${CMAKE_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# CPack hands its scripts only the variables named CPACK_*.
set(CPACK_FOLIM_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian/remove-comments.cmake)
include(CPack)
