# Where `cmake --install` puts Tavrel: programs in bin/, the hook library in a private folder
# under the library folder, desktop files under share/.
include(GNUInstallDirs)

# The reverse-DNS name of the desktop entry, the icon and the AppStream metadata.
set(TAVREL_APP_ID org.tavrel.Tavrel)

# The hook library is loaded by the program only, so it stays out of the linker's search path.
set(TAVREL_HOOK_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tavrel)

# The same folder seen from the installed program, relative so that the installed tree can be
# moved (a package's staging folder, dpkg -x, another prefix).
file(RELATIVE_PATH TAVREL_HOOK_FROM_BINDIR
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/tavrel)

# tavrel_install_program(TARGET): installs one of Tavrel's programs into bin/. The package test
# checks that every program named here is in the package.
function(tavrel_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  tavrel_strip_notes(${target} ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY TAVREL_INSTALLED_PROGRAMS ${target})
endfunction()

# tavrel_strip_notes(TARGET DESTINATION): where an install strips (cpack, `cmake --install
# --strip`), also removes the sections Debian's own stripping removes and strip keeps: .comment,
# the compilers' names and versions, and .note. Follows the target's install() rule.
function(tavrel_strip_notes target destination)
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "Stripping the installed ${target} needs objcopy (binutils)")
  endif()
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endfunction()
