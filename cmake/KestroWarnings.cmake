# Warnings for the project's own targets (not for Qt or GoogleTest headers).
function(kv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
