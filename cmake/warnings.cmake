# High warnings, treated as errors, for our own targets only (third-party code is built apart).
function(tovasen_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Werror)
  endif()
endfunction()

# Native builds of the core run their tests under AddressSanitizer and UBSan.
function(tovasen_sanitize target)
  if(TOVASEN_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
