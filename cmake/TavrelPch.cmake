# Precompiled headers. Most of a unit's compile time goes to Qt's headers (and GoogleTest's in
# the tests), the same in every unit, so each kind of target reuses one precompiled header that
# is built once per build folder. A precompiled header is used only with the flags it was made
# with: libraries (-fPIC) and executables (-fPIE) need one each, which is why every kind has a
# small target of its own that makes it.
#
#   tavrel_use_pch(TARGET KIND)    KIND: core, widgets (libraries); test-core, test-widgets
#
# -DTAVREL_PCH=OFF builds without them.
option(TAVREL_PCH "Reuse precompiled headers for Qt and GoogleTest" ON)

set(tavrel_pch_core
  <QByteArray> <QCoreApplication> <QHash> <QList> <QMap> <QObject> <QPointer> <QSet> <QString>
  <QStringList> <QTimer> <QVariant>
  <algorithm> <array> <functional> <map> <memory> <optional> <span> <string> <utility> <variant>
  <vector>)
set(tavrel_pch_widgets ${tavrel_pch_core}
  <QApplication> <QEvent> <QFont> <QLabel> <QPainter> <QPixmap> <QWidget>)

set(tavrel_pch_folder ${CMAKE_BINARY_DIR}/pch)
file(WRITE ${tavrel_pch_folder}/library.cpp "// Only here to make the precompiled header.\n")
file(WRITE ${tavrel_pch_folder}/program.cpp "// Only here to make the precompiled header.\nint main() { return 0; }\n")

# One maker per kind, compiled with the flags of the targets that reuse its header.
function(tavrel_pch_maker kind type headers)
  set(maker tavrel_pch_${kind})
  if(type STREQUAL "library")
    add_library(${maker} STATIC ${tavrel_pch_folder}/library.cpp)
  else()
    add_executable(${maker} ${tavrel_pch_folder}/program.cpp)
  endif()
  target_link_libraries(${maker} PRIVATE ${ARGN})
  target_precompile_headers(${maker} PRIVATE ${headers})
  set_target_properties(${maker} PROPERTIES AUTOMOC OFF AUTORCC OFF)
endfunction()

if(TAVREL_PCH)
  tavrel_pch_maker(core library "${tavrel_pch_core}" Qt6::Core)
  tavrel_pch_maker(widgets library "${tavrel_pch_widgets}" Qt6::Widgets)
  if(TAVREL_BUILD_TESTS)
    tavrel_pch_maker(test-core program "${tavrel_pch_core};<gtest/gtest.h>" Qt6::Core GTest::gtest)
    tavrel_pch_maker(test-widgets program "${tavrel_pch_widgets};<gtest/gtest.h>" Qt6::Widgets GTest::gtest)
  endif()
endif()

function(tavrel_use_pch target kind)
  if(TAVREL_PCH AND TARGET tavrel_pch_${kind})
    target_precompile_headers(${target} REUSE_FROM tavrel_pch_${kind})
  endif()
endfunction()
