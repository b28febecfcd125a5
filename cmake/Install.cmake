# What `cmake --install` puts in place, and the release archives that cpack
# makes from it.
#
# Three components: Runtime (the programs, the README and the examples: all a
# translator needs), Development (the static library, its headers, a CMake
# package and a pkg-config file, for tool makers who put the dictionary into
# their own C++ programs) and Shared (the shared library with its C header,
# CMake targets and pkg-config file; on Windows the DLL, both import libraries
# and the Python package folder with the DLL inside).
include(CMakePackageConfigHelpers)

set(VKC_PROGRAMS vkcsubst)
if(TARGET vkcdict)
  list(APPEND VKC_PROGRAMS vkcdict)
endif()

if(WIN32)
  # A Windows archive is unpacked and run in place: the programs at its top.
  set(VKC_RUNTIME_DIR .)
  set(VKC_DOC_DIR .)
else()
  set(VKC_RUNTIME_DIR ${CMAKE_INSTALL_BINDIR})
  set(VKC_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()
install(TARGETS ${VKC_PROGRAMS} RUNTIME DESTINATION ${VKC_RUNTIME_DIR} COMPONENT Runtime)
install(FILES README.md DESTINATION ${VKC_DOC_DIR} COMPONENT Runtime)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES LICENSE DESTINATION ${VKC_DOC_DIR} COMPONENT Runtime)
endif()
install(FILES examples/script.txt examples/dict.txt DESTINATION ${VKC_DOC_DIR}/examples
        COMPONENT Runtime)

# The library, found by find_package(VKCStringDict CONFIG) as
# VKCStringDict::vkcstringdict. Its headers keep the tree's layout under
# include/vkcstringdict/, so "dict/VKCStringDict.h" is included as in the tree.
set(VKC_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/vkcstringdict)
set(VKC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VKCStringDict)
install(TARGETS vkcstringdict EXPORT VKCStringDictTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
foreach(folder dict fileio platform)
  install(DIRECTORY ${folder} DESTINATION ${VKC_INCLUDE_DIR} COMPONENT Development
          FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT VKCStringDictTargets NAMESPACE VKCStringDict:: DESTINATION ${VKC_CMAKE_DIR}
        COMPONENT Development)

# The shared library (VKCStringDict::vkcstringdict_shared) and its C header,
# installed as include/vkcstringdict.h.
install(TARGETS vkcstringdict_shared EXPORT VKCStringDictSharedTargets
        RUNTIME DESTINATION ${VKC_RUNTIME_DIR} COMPONENT Shared
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Shared NAMELINK_COMPONENT Shared
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Shared)
install(FILES capi/vkcstringdict.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Shared)
install(EXPORT VKCStringDictSharedTargets NAMESPACE VKCStringDict:: DESTINATION ${VKC_CMAKE_DIR}
        COMPONENT Shared)
if(WIN32)
  # MSVC's import library and the .def it was made from, beside MinGW's; the
  # Python package folder with its DLL.
  install(FILES ${VKC_MSVC_IMPORT_LIBRARY} capi/vkcstringdict.def
          DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Shared)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/python/vkcstringdict DESTINATION python COMPONENT Shared
          PATTERN __pycache__ EXCLUDE)
endif()

configure_package_config_file(cmake/VKCStringDictConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VKCStringDictConfig.cmake INSTALL_DESTINATION ${VKC_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VKCStringDictConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
# The package's own files come with either library.
foreach(component Development Shared)
  install(FILES ${PROJECT_BINARY_DIR}/VKCStringDictConfig.cmake
                ${PROJECT_BINARY_DIR}/VKCStringDictConfigVersion.cmake
          DESTINATION ${VKC_CMAKE_DIR} COMPONENT ${component})
endforeach()
# The pkg-config files find the tree relative to themselves, wherever it is
# installed: vkcstringdict (the static library, named by its path, since the
# linker would take the shared one for -lvkcstringdict) and
# vkcstringdict-shared (the C interface).
file(RELATIVE_PATH VKC_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(cmake/vkcstringdict.pc.in ${PROJECT_BINARY_DIR}/vkcstringdict.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vkcstringdict.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
configure_file(cmake/vkcstringdict-shared.pc.in ${PROJECT_BINARY_DIR}/vkcstringdict-shared.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vkcstringdict-shared.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Shared)

# Release archives: a zip of the programs for Windows, a .tar.gz elsewhere.
set(CPACK_PACKAGE_NAME vkcsubst)
set(CPACK_PACKAGE_VENDOR "vkcsubst developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Puts a translation into a game's scripts")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
if(WIN32)
  # The translator's workflow with vkcdict.exe and Windows paths, naming the
  # folder this zip unpacks to (win32 or win64).
  configure_file(packaging/README-windows.txt.in ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README-windows.txt DESTINATION ${VKC_DOC_DIR} COMPONENT Runtime)
endif()
# A Windows zip holds the programs and the shared library: all a translator or
# a tool maker on Windows needs (the static library is MinGW's alone). The
# Linux archive holds everything.
if(WIN32)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Runtime;/"
                                   "${PROJECT_BINARY_DIR};${PROJECT_NAME};Shared;/")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
