# Cross-compiling for the web page: clang++ for WebAssembly (wasm32-wasi), with
# Debian's wasi-libc and the libc++ built for it (install-toolchain installs
# them). Used by the "web" preset.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# Debian keeps the wasm32-wasi headers and libraries under /usr/include/wasm32-wasi
# and /usr/lib/wasm32-wasi, which is where clang looks below this sysroot.
set(CMAKE_SYSROOT /usr)
# Tools such as wasm-opt run on the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The page fetches the program before its first prompt: optimise for size, across
# the libraries too (link-time optimisation), which leaves it about 2% smaller still.
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Oz -DNDEBUG" CACHE STRING "Flags for the web page's program")
set(CMAKE_CXX_FLAGS_INIT "-flto")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-flto")
