# Warnings every target of the project builds clean with.
add_library(revevidozi_warnings INTERFACE)
target_compile_options(revevidozi_warnings INTERFACE -Wall -Wextra -Wpedantic -Wconversion
                       $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>)
