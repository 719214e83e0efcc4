# Shared helpers for the subsystem folders.

# vellumo_add_dll(<target> <file name> sources...)
# A shared library whose file name is given exactly (e.g. "JpegLib.dll"), placed in the program folder.
# It exports only what its sources mark for export: symbols of the static libraries it links stay inside, so
# two libraries loaded into one program cannot bind to each other's copies.
function(vellumo_add_dll target file_name)
  add_library(${target} SHARED ${ARGN})
  target_link_options(${target} PRIVATE "LINKER:--exclude-libs,ALL")
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ""
    OUTPUT_NAME ${file_name}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# vellumo_add_test(<name> [THREADS] [WHOLE_PROGRAM] SOURCES ... LIBS ...)
# A GoogleTest program run by CTest. GUI tests run on Qt's offscreen platform; every test gets the
# program folder so it can find the built program and its libraries.
# THREADS: the program starts threads, in the test or in our code it drives. Its tests get the CTest label
# "threads" and the program joins the target vellumo_thread_tests, which the test command builds with
# ThreadSanitizer and runs with `ctest -L threads`. A new test program that starts a thread opts in by
# passing THREADS. Worker threads a library keeps inside itself (OpenCV's pool, Qt's file-information
# thread) do not count: their synchronisation is not instrumented, so the sanitizer sees only false races.
# WHOLE_PROGRAM: its tests run the whole program through full-size captures; they take one shared CTest
# resource lock, so two of them never load a small machine at once.
function(vellumo_add_test name)
  cmake_parse_arguments(T "THREADS;WHOLE_PROGRAM" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(labels "")
  if(T_THREADS)
    set(labels LABELS threads)
  endif()
  if(T_WHOLE_PROGRAM)
    list(APPEND labels RESOURCE_LOCK vellumo_whole_program)
  endif()
  # Test programs live apart from the program folder but load its libraries (the outside DLLs) from it.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin
    INSTALL_RPATH "$ORIGIN;${VELLUMO_BIN_DIR}")
  target_compile_definitions(${name} PRIVATE
    VELLUMO_BIN_DIR="${VELLUMO_BIN_DIR}"
    VELLUMO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Every property takes one value only: the discovery script flattens the list, so a second value (as in
  # "A=1;B=2") becomes a property name of its own and the properties after it are lost.
  # A parameterised test keeps the name GoogleTest gives it (readable when the suite has a name generator);
  # the discovery script's default replaces it with the parameter's printed bytes.
  # Sanitized builds run several times slower; a whole-program run there needs far longer than 120 s.
  set(timeout 120)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    set(timeout 900)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${timeout} ${labels})
  if(T_THREADS)
    if(NOT TARGET vellumo_thread_tests)
      add_custom_target(vellumo_thread_tests)
    endif()
    add_dependencies(vellumo_thread_tests ${name})
  endif()
endfunction()

# vellumo_add_subdirectories([names...])
# Adds each named subfolder (default: every subfolder, sorted) that has a CMakeLists.txt.
# VELLUMO_ONLY (a list of folder paths relative to the source root) narrows a build to those folders, their
# subfolders and their parents; engineers use it to build their own part while others' work is in progress.
function(vellumo_add_subdirectories)
  if(ARGN)
    set(dirs ${ARGN})
  else()
    file(GLOB dirs CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT dirs)
  endif()
  file(RELATIVE_PATH here ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(dir ${dirs})
    if(NOT IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${dir} OR NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      continue()
    endif()
    if(here)
      set(rel "${here}/${dir}")
    else()
      set(rel "${dir}")
    endif()
    if(VELLUMO_ONLY)
      set(wanted FALSE)
      foreach(only ${VELLUMO_ONLY})
        string(FIND "${only}/" "${rel}/" parent_at)
        string(FIND "${rel}/" "${only}/" child_at)
        if(parent_at EQUAL 0 OR child_at EQUAL 0)
          set(wanted TRUE)
        endif()
      endforeach()
      if(NOT wanted)
        continue()
      endif()
    endif()
    add_subdirectory(${dir})
  endforeach()
endfunction()
