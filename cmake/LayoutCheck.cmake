# corvid_layout_check(<lower module> <header of a module above it, or of a Qt library>)
#
# Proves that the module layout holds: a file compiled as part of module <lower> that includes
# <header> (a path under src/ belonging to a module above it, or a Qt class such as QWidget
# whose library the module must not use) must fail to compile because the header is not
# found. The file is a target outside `all`; the CTest test
# layout.<lower>_cannotInclude_<module of header> builds it and passes only on that error.
function(corvid_layout_check lower header)
    if(header MATCHES "^Q[A-Za-z]+$")
        set(above ${header})
    elseif(EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
        get_filename_component(folder ${header} DIRECTORY)
        string(REPLACE "/" "_" above ${folder})
    else()
        message(FATAL_ERROR "Layout check: src/${header} does not exist; name a header that does")
    endif()
    set(name layout_check_${lower}_includes_${above})
    set(source ${PROJECT_BINARY_DIR}/layout-check/${name}.cpp)
    file(WRITE ${source}.in "// A wrong-way include: module ${lower} must not see ${header}.\n"
        "#include \"${header}\"\n")
    configure_file(${source}.in ${source} COPYONLY)
    add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
    target_link_libraries(${name} PRIVATE corvid_${lower})
    # Only the file's compile counts; Makefiles can skip checking the module's own build.
    set(target ${name})
    if(CMAKE_GENERATOR MATCHES "Makefiles")
        set(target ${name}/fast)
    endif()
    add_test(NAME layout.${lower}_cannotInclude_${above}
        COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target ${target})
    # GCC says "<header>: No such file or directory", Clang "'<header>' file not found"; any
    # other outcome (a successful compile, another error) fails the test.
    string(REPLACE "." "\\." pattern ${header})
    set_tests_properties(layout.${lower}_cannotInclude_${above} PROPERTIES
        PASS_REGULAR_EXPRESSION "${pattern}'?:? (No such file or directory|file not found)"
        # Builds share the build tree's dependency files: one at a time.
        RESOURCE_LOCK corvid_build_tree
        TIMEOUT 120)
endfunction()
