# Where `cmake --install` puts things (GNUInstallDirs, plus qomhost's private
# folder). Included by cmake/install.cmake and by the install test, which
# checks the installed layout against these same names.
include(GNUInstallDirs)
set(RONDEL_INSTALL_APPDIR "${CMAKE_INSTALL_LIBDIR}/qomhost" CACHE STRING
    "Private folder of qomhost and the libraries it loads (relative to the prefix, or absolute)")
