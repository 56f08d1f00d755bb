# Where an installation puts things, relative to its prefix (the usual layout of GNUInstallDirs),
# and the relative paths by which the installed programs find their libraries and plug-ins: an
# installation works from any prefix and after it is moved.
include(GNUInstallDirs)

set(KV_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/kestro/plugins)
set(KV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kestro)
set(KV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kestro)
set(KV_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/kestro)

file(RELATIVE_PATH KV_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH KV_BIN_TO_PLUGINS ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${KV_INSTALL_PLUGINDIR})
file(RELATIVE_PATH KV_PLUGINS_TO_LIB ${CMAKE_INSTALL_PREFIX}/${KV_INSTALL_PLUGINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR})
foreach(path KV_BIN_TO_LIB KV_BIN_TO_PLUGINS KV_PLUGINS_TO_LIB)
  string(REGEX REPLACE "/$" "" ${path} "${${path}}")
endforeach()
