# The two layers of the program and the rule that sorts a file into one of them.
#
# Windows: everything in app/, files named *Form.*, frm*, *Handlers.cpp, any .ui file, and
# platform/QtPlatform.*. Everything else is plain logic, built without Qt Widgets.

function(sequor_is_window_file path out)
  get_filename_component(name ${path} NAME)
  if(path MATCHES "^app/" OR name MATCHES "Form\\.(h|cpp|ui)$" OR name MATCHES "^frm"
     OR name MATCHES "Handlers\\.cpp$" OR name MATCHES "\\.ui$" OR path MATCHES "^platform/QtPlatform\\.")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# A Qt Widgets header reached through the Qt include root (<QtWidgets/QWidget>) would still be
# found without linking Widgets; every such header includes qtwidgetsglobal.h, which is
# shadowed here by one that stops the build with a clear message.
set(SEQUOR_NO_WIDGETS_DIR ${CMAKE_BINARY_DIR}/no-widgets)
file(WRITE ${SEQUOR_NO_WIDGETS_DIR}/QtWidgets/qtwidgetsglobal.h
     "#error \"plain logic must not use Qt Widgets: move this code into a window file\"\n")

function(sequor_plain_logic target)
  target_include_directories(${target} BEFORE PRIVATE ${SEQUOR_NO_WIDGETS_DIR})
endfunction()
