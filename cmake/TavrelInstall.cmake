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
  set_property(GLOBAL APPEND PROPERTY TAVREL_INSTALLED_PROGRAMS ${target})
endfunction()
