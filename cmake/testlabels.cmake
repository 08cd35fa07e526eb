# Labels every test of the calling directory by its kind, so a run can pick one kind:
#   unit      offscreen Qt Test suites and source checks: quick, no X server, no sound server
#   e2e       the real program or its measurement on Xvfb, a window manager and a sound server
#   package   what an install and the .deb leave on a system
#   sanitize  every test of a build with the sanitizers (beside its own kind)
# A test named outside these patterns fails the configure step, so none goes unlabelled.
function(velmora_label_tests)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(t IN LISTS tests)
    if(t MATCHES "^(tst_|layers_)")
      set(kind unit)
    elseif(t MATCHES "^(e2e_|kill9_|velmora_detector)")
      set(kind e2e)
    elseif(t MATCHES "^(install_|package_)")
      set(kind package)
    else()
      message(FATAL_ERROR "test ${t} has no label: name it tst_, e2e_ or package_")
    endif()
    if(VELMORA_SANITIZE)
      list(APPEND kind sanitize)
    endif()
    set_tests_properties(${t} PROPERTIES LABELS "${kind}")
  endforeach()
endfunction()
