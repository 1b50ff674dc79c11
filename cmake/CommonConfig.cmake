# One interface target carries the language level, the warnings and the Qt defines
# that every target of the project shares.
add_library(linkvigil_common INTERFACE)
target_compile_features(linkvigil_common INTERFACE cxx_std_20)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(linkvigil_common INTERFACE
    -Wall -Wextra -Wshadow -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor -Wcast-qual -pedantic)
# Warnings stop developers' and CI builds; a packager's or user's plain
# Release build must build with whatever compiler it meets.
if(LINKVIGIL_WERROR)
    target_compile_options(linkvigil_common INTERFACE -Werror)
endif()
target_compile_definitions(linkvigil_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_FOREACH)

if(LINKVIGIL_SANITIZE)
    target_compile_options(linkvigil_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(linkvigil_common INTERFACE -fsanitize=address,undefined)
endif()
