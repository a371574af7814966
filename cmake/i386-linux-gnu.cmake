# Toolchain for the 32-bit x86 build (scripts/setup.sh --i386, folder build-i386/): the host's
# multilib gcc with -m32, linking the :i386 libraries of Debian's multiarch tree.
#
# Floating point: the noise and the effect's arithmetic must give the same single-precision results
# as the 64-bit build. gcc's i386 default evaluates float expressions on the x87 unit in extended
# precision (FLT_EVAL_METHOD 2), which changes the rounding of almost every noise sample; SSE2
# arithmetic (FLT_EVAL_METHOD 0) rounds each operation to float as the 64-bit build does.
# -ffloat-store is not needed then (no intermediate ever sits in an x87 register; float results
# returned in st(0) by the i386 calling convention are exact copies). Every Intel Mac has SSE2.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(KX_I386_FLAGS "-m32 -march=i686 -msse2 -mfpmath=sse")
set(CMAKE_C_FLAGS_INIT "${KX_I386_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${KX_I386_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# Libraries, headers and CMake package files: the i386 multiarch folders only, never the 64-bit
# ones beside them.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
