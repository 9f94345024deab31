# TARNWICK_SANITIZE: empty, "address" (ASan + UBSan) or "thread" (TSan).
set(TARNWICK_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")

if(TARNWICK_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TARNWICK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TARNWICK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TARNWICK_SANITIZE must be empty, address or thread")
endif()
