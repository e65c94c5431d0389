add_library(dorvil_warnings INTERFACE)
target_compile_options(dorvil_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wnull-dereference -Wimplicit-fallthrough
    $<$<BOOL:${DORVIL_WERROR}>:-Werror>)
