# Warnings and linking shared by every target of ours.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)

if(WIN32)
  # One self-contained console program: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
