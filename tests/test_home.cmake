# The home folder the tests run with (HOME_DIR): made empty before them (-DPREPARE=ON), and checked
# after them. A test that left anything there would write into a real user's settings, caches or
# data when run by hand.
if(PREPARE)
    file(REMOVE_RECURSE "${HOME_DIR}")
    file(MAKE_DIRECTORY "${HOME_DIR}")
    return()
endif()
file(GLOB_RECURSE left "${HOME_DIR}/*" LIST_DIRECTORIES true)
if(left)
    list(JOIN left "\n  " shown)
    message(FATAL_ERROR "The tests wrote into their home folder (${HOME_DIR}), the user's own when run by hand:\n  ${shown}")
endif()
message(STATUS "Nothing written into ${HOME_DIR}")
