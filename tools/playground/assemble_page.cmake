# Writes the playground page as one file: the page's HTML with its style sheet, the module (the
# plug-in in WebAssembly, inside its JavaScript) and the page's scripts set into it, so that it
# works opened from a folder, with no server and no other file.
#   cmake -DTEMPLATE=... -DCSS=... -DMODULE=... -DSCRIPTS="a.js;b.js" -DVERSION=1.1 -DOUT=...
#         -P assemble_page.cmake
file(READ ${TEMPLATE} page)
file(READ ${CSS} css)
file(READ ${MODULE} module)
set(scripts "")
foreach(script IN LISTS SCRIPTS)
  file(READ ${script} text)
  string(APPEND scripts "${text}\n")
endforeach()

# A script element ends at the first "</script" whatever stands around it.
foreach(part IN ITEMS module scripts)
  string(TOLOWER "${${part}}" lowered)
  string(FIND "${lowered}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the page's ${part} holds </script, which would end its script element")
  endif()
endforeach()

string(REPLACE "/*@PLAYGROUND_CSS@*/" "${css}" page "${page}")
string(REPLACE "/*@SERIX_MODULE@*/" "${module}" page "${page}")
string(REPLACE "/*@PLAYGROUND_SCRIPTS@*/" "${scripts}" page "${page}")
string(REPLACE "@SERIX_VERSION@" "${VERSION}" page "${page}")
file(WRITE ${OUT} "${page}")
