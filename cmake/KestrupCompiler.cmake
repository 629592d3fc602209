# Warnings and linking shared by every target of ours.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)

if(WIN32)
  # One self-contained console program: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The test command builds with this on, so that no warning lands unseen.
option(KESTRUP_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
if(KESTRUP_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()
