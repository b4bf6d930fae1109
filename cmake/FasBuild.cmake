# fas_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
#
# One Qt Test executable per topic, registered with CTest. Every test runs offscreen
# and in the pt-BR regional format, whatever the machine's own settings are.
function(fas_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set(env
        "QT_QPA_PLATFORM=offscreen"
        "LANG=pt_BR.UTF-8"
        "LC_ALL=pt_BR.UTF-8"
        "FAS_BIN_DIR=${FAS_BIN_DIR}"
        "FAS_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()

# fas_test_class_header(<out> <test name>)
#
# The file name of a test's class header: tst_settlement -> SettlementTest.h,
# tst_foo_bar -> FooBarTest.h (each word of the name after tst_ capitalised).
function(fas_test_class_header out test_name)
    string(REGEX REPLACE "^tst_" "" base ${test_name})
    string(REPLACE "_" ";" words ${base})
    set(class_name "")
    foreach(word IN LISTS words)
        string(SUBSTRING ${word} 0 1 first)
        string(SUBSTRING ${word} 1 -1 rest)
        string(TOUPPER ${first} first)
        string(APPEND class_name ${first}${rest})
    endforeach()
    set(${out} ${class_name}Test.h PARENT_SCOPE)
endfunction()

# fas_add_folder_tests(LIBS <targets...> [LABELS <labels...>] [DEPENDS <targets...>])
#
# One CTest test per tests/tst_*.cpp of the current folder, linked with LIBS (never
# recompiling the folder's sources). DEPENDS are built before every test of the folder
# (e.g. fas-appserver for tests that start the real server).
#
# A test too large for one file keeps its set-up in tests/tst_<name>.cpp, declares its test
# class in tests/<Name>Test.h (see fas_test_class_header) and defines its tests by topic in
# tests/tst_<name>/*.cpp: all of them are the sources of the one executable, the header among
# them so that AUTOMOC runs moc on the class. The tests folder is on the include path, and
# the files compile as one unit.
function(fas_add_folder_tests)
    cmake_parse_arguments(ARG "" "" "LIBS;LABELS;DEPENDS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/tst_*.cpp)
    foreach(test_source IN LISTS tests)
        get_filename_component(test_name ${test_source} NAME_WE)
        set(labels ${ARG_LABELS})
        # A test whose name ends in _pg needs the throwaway PostgreSQL cluster.
        if(test_name MATCHES "_pg$")
            list(APPEND labels postgres)
        endif()
        fas_test_class_header(class_header ${test_name})
        file(GLOB topic_sources CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/${test_name}/*.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/${class_header})
        fas_add_test(${test_name} SOURCES ${test_source} ${topic_sources} LIBS ${ARG_LIBS}
            LABELS ${labels})
        target_include_directories(${test_name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
        if(topic_sources)
            # The topic files are one test split for reading, not for compiling: built as one
            # unit they cost one pass over the Qt Test and Widgets headers instead of one each.
            set_target_properties(${test_name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
        endif()
        if(ARG_DEPENDS)
            add_dependencies(${test_name} ${ARG_DEPENDS})
        endif()
    endforeach()
endfunction()

# The sources of the current folder: every .cpp/.h/.qrc directly in it, minus the EXCLUDE names.
function(fas_folder_sources out)
    cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/*.h
        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    foreach(ex IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
    endforeach()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# fas_subsystem(<target> <STATIC|SHARED> [DEPS <targets...>] [TEST_LIBS <targets...>]
#               [TEST_LABELS <labels...>] [EXCLUDE <file names...>])
#
# The library of one folder: its sources (see fas_folder_sources), public include path on
# the folder itself, and one CTest test per tests/tst_*.cpp, linked with the library.
function(fas_subsystem target type)
    cmake_parse_arguments(ARG "" "" "DEPS;TEST_LIBS;TEST_LABELS;EXCLUDE" ${ARGN})
    fas_folder_sources(sources EXCLUDE ${ARG_EXCLUDE})
    add_library(${target} ${type} ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    fas_add_folder_tests(LIBS ${target} ${ARG_TEST_LIBS} LABELS ${ARG_TEST_LABELS})
endfunction()

# fas_module_part(<target> MODULE <module> [EXCLUDE <file names...>])
#
# One folder's share of a screen module whose folders reach each other (the screen opens
# the dialogs, the dialogs read the screen): an OBJECT library of the folder's sources,
# compiled against <module>_interface (every folder of the module on the include path, and
# the libraries below the module). The module's own folder archives the parts into the one
# static library <module>; nothing links a part by itself.
function(fas_module_part target)
    cmake_parse_arguments(ARG "" "MODULE" "EXCLUDE" ${ARGN})
    fas_folder_sources(sources EXCLUDE ${ARG_EXCLUDE})
    add_library(${target} OBJECT ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_MODULE}_interface)
endfunction()
