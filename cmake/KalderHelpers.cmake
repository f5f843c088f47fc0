# kalder_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [OWN_MAIN] [ENV "A=1;B=2"])
# One GoogleTest executable; each TEST becomes its own CTest case. OWN_MAIN: the sources bring
# their own main() (GUI tests need a QApplication first).
function(kalder_add_test name)
    cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} kalder_testsupport)
    if(ARG_OWN_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        PROPERTIES ENVIRONMENT "KALDER_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}"
        DISCOVERY_TIMEOUT 60)
endfunction()

# kalder_add_fuzzer(NAME SOURCES a.cpp LIBS lib)
# With KALDER_FUZZ and clang, a libFuzzer binary; the replay main is used otherwise.
function(kalder_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    else()
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    endif()
endfunction()

# kalder_qt_pch(TARGET [REUSE_FROM other])
# Nearly every Qt source parses the same widget headers, which cost more than the file itself:
# they are compiled once into a precompiled header (KALDER_PCH, on by default). REUSE_FROM shares
# another target's header, which must have been made with the same flags.
set(KALDER_QT_PCH_HEADERS
    <QApplication> <QCheckBox> <QComboBox> <QDialog> <QDialogButtonBox> <QFormLayout>
    <QGridLayout> <QHBoxLayout> <QImage> <QLabel> <QLineEdit> <QMessageBox> <QPainter>
    <QPushButton> <QString> <QTimer> <QVBoxLayout> <QWidget>
    <cstdint> <functional> <memory> <string> <vector>)
function(kalder_qt_pch target)
    cmake_parse_arguments(ARG "" "REUSE_FROM" "HEADERS" ${ARGN})
    if(NOT KALDER_PCH)
        return()
    endif()
    if(ARG_REUSE_FROM)
        target_precompile_headers(${target} REUSE_FROM ${ARG_REUSE_FROM})
    else()
        target_precompile_headers(${target} PRIVATE ${KALDER_QT_PCH_HEADERS} ${ARG_HEADERS})
    endif()
    # ccache caches a compile that uses a precompiled header only when told that the header's
    # macros and timestamps may be trusted.
    if(CCACHE_PROGRAM)
        set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER
            "${CMAKE_COMMAND};-E;env;CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime;${CCACHE_PROGRAM}")
    endif()
endfunction()
