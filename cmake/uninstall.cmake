# Removes what the last install put in place, as its manifest lists it; DESTDIR is honoured.
#   cmake -DMANIFEST=<build>/install_manifest.txt -P uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} is missing (run the install first)")
endif()
file(STRINGS "${MANIFEST}" installed)
foreach(file IN LISTS installed)
  set(path "$ENV{DESTDIR}${file}")
  # A link is removed as the link, also when what it points at is already gone.
  if(IS_SYMLINK "${path}" OR EXISTS "${path}")
    message(STATUS "Removing: ${path}")
    file(REMOVE "${path}")
  endif()
endforeach()
