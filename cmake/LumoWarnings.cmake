# SPDX-License-Identifier: MIT
# Our own code builds with all warnings as errors; third-party code does not.
function(lumo_target_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()
