# Cross build of the settings tool for 64-bit Windows with Debian's MinGW-w64 (posix threads, as
# Qt needs) against a Qt for MinGW kit (scripts/make-qt-mingw-kit makes one). Test programs run
# under Wine (cmake/wine-run.in).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The kit: ../shared/qt6-mingw beside the checkout when it is there.
get_filename_component(_q7_default_kit "${CMAKE_CURRENT_LIST_DIR}/../../shared/qt6-mingw" ABSOLUTE)
if(NOT Q7_QT_MINGW_KIT AND EXISTS "${_q7_default_kit}/lib/cmake/Qt6")
    set(Q7_QT_MINGW_KIT "${_q7_default_kit}")
endif()
set(Q7_QT_MINGW_KIT "${Q7_QT_MINGW_KIT}" CACHE PATH "Qt 6 for MinGW-w64 (Core, Gui, Widgets, Test)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES Q7_QT_MINGW_KIT)
set(CMAKE_PREFIX_PATH "${Q7_QT_MINGW_KIT}" CACHE PATH "Where the Windows libraries are found")

# Qt's host tools (moc, rcc, uic) are the build machine's own, of the same Qt version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# The kit must be under a find root too, or the re-rooting hides it.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${Q7_QT_MINGW_KIT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
