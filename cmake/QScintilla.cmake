# Debian's QScintilla for Qt 6 ships no CMake package; wrap it in one imported target.
get_target_property(_qt_core_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h
          HINTS ${_qt_core_includes} ${QT6_INSTALL_PREFIX}/include
          PATH_SUFFIXES qt6 ../qt6 x86_64-linux-gnu/qt6
          REQUIRED)
find_library(QSCINTILLA_LIBRARY NAMES qscintilla2_qt6 REQUIRED)

if(NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    set_target_properties(QScintilla::QScintilla PROPERTIES
        IMPORTED_LOCATION "${QSCINTILLA_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QSCINTILLA_INCLUDE_DIR}"
        INTERFACE_COMPILE_DEFINITIONS QSCINTILLA_DLL)
    find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
    target_link_libraries(QScintilla::QScintilla INTERFACE Qt6::Widgets Qt6::PrintSupport)
endif()
