# corvid_module(<name> <folder under src/> LINKS <targets>...)
#
# Makes the static library corvid_<name> from the sources of src/<folder>. Its include
# root is a folder of its own in the build tree that holds only src/<folder> (as a link,
# at the same relative path), so `#include "<folder>/X.h"` resolves for this module and
# for the modules that link it, and for no module below it.
function(corvid_module name folder)
    cmake_parse_arguments(PARSE_ARGV 2 module "" "" "LINKS")
    file(GLOB sources CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    set(root ${PROJECT_BINARY_DIR}/module-roots/${name})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    add_library(corvid_${name} STATIC ${sources})
    target_include_directories(corvid_${name} PUBLIC ${root})
    target_link_libraries(corvid_${name} PUBLIC ${module_LINKS})
endfunction()

# ---- Build speed -------------------------------------------------------------------------
# Links with LLVM's lld where it is installed (scripts/setup installs it): the test programs
# carry full debug information, which lld links faster than GNU ld.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld CORVID_HAVE_LLD)
if(CORVID_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
endif()
