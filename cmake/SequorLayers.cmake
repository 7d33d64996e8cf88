# The two layers of the program and the rule that sorts a file into one of them.
#
# The folder decides. Windows and their glue live in app/, widgets/ and the ui/ folder of a
# module (measure/ui/, settings/ui/, condition/ui/, terminal/ui/, platform/ui/); they build into
# sequor_windows. Everything else is plain logic, built without Qt Widgets into sequor_logic.
# A file whose name marks it as a window (*Form.*, frm*, *Handlers.cpp, *.ui) outside those
# folders stops the configure step: it would otherwise land in the logic library and fail there,
# or, worse, a plain file under a window name would quietly leave the logic library.

set(SEQUOR_MODULES common platform bus settings condition measure terminal)

function(sequor_is_window_file path out)
  if(path MATCHES "^(app|widgets)/" OR path MATCHES "^[a-z]+/ui/")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Stops with a message when a file's name and folder disagree about its layer.
function(sequor_check_placement path)
  get_filename_component(name ${path} NAME)
  sequor_is_window_file(${path} in_window_folder)
  set(window_name FALSE)
  if(name MATCHES "Form\\.(h|cpp|ui)$" OR name MATCHES "^frm" OR name MATCHES "Handlers\\.cpp$"
     OR name MATCHES "\\.ui$")
    set(window_name TRUE)
  endif()
  if(window_name AND NOT in_window_folder)
    message(FATAL_ERROR "${path}: a window file outside a window folder; move it into the "
                        "module's ui/ folder (plain logic must not be named like a window)")
  endif()
  if(path MATCHES "^([a-z]+)/ui/")
    list(FIND SEQUOR_MODULES ${CMAKE_MATCH_1} known)
    if(known LESS 0)
      message(FATAL_ERROR "${path}: a ui/ folder outside the program's modules")
    endif()
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
