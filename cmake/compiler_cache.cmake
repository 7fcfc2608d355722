# A compiler cache (ccache) when the machine has one. Paths under the source tree are rewritten to
# relative ones and the working directory is left out of the hash, so a fresh clone in another folder
# of the same machine reuses what an earlier build compiled. WIRELUX_CCACHE=OFF builds without it.
option(WIRELUX_CCACHE "Compile through ccache when it is installed" ON)
if(WIRELUX_CCACHE)
  find_program(WIRELUX_CCACHE_PROGRAM ccache)
  if(WIRELUX_CCACHE_PROGRAM)
    set(launcher ${CMAKE_COMMAND} -E env
        CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=true
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        ${WIRELUX_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
  endif()
endif()
