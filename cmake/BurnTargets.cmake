# Compile settings shared by every target of our own: warnings are errors here,
# never in third-party headers (Qt and friends come in as system includes).
function(burn_strict_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A replacement for a closed vendor library: a shared object under the exact
# file name the module's loaders compose, in the application directory.
function(burn_vendor_library target file_name)
  add_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${file_name} PREFIX "" SUFFIX ".dll"
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  burn_strict_target(${target})
endfunction()

# One layer of the module's code: a static library whose own folder is its public
# include folder; symbols stay hidden unless marked for export.
function(burn_layer_library target)
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${ARGN})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  burn_strict_target(${target})
endfunction()
