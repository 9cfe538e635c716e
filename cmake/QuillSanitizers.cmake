# Applies QUILL_SANITIZE to every target defined after this point.
if(QUILL_SANITIZE)
  string(REPLACE ";" "," _quill_sanitizers "${QUILL_SANITIZE}")
  add_compile_options(-fsanitize=${_quill_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_quill_sanitizers})
endif()
