# Writes the playground page as one file: the page's HTML with its style sheet, the module (the
# plug-in in WebAssembly, inside its JavaScript) and the page's scripts set into it, so that it
# works opened from a folder, with no server and no other file. Its Content-Security-Policy
# names each script and the style sheet by its SHA-256 hash, computed here, so that nothing
# else runs on the page.
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

# 'sha256-...': the SHA-256 of the text, in base64, as a policy names an inline element.
function(policy_hash text out)
  string(SHA256 hex "${text}")
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  set(digits "0123456789abcdef")
  set(encoded "")
  # 32 bytes: ten groups of three bytes (four characters each) and two bytes left over.
  foreach(group RANGE 0 10)
    math(EXPR first "${group} * 6")
    set(bits 0)
    foreach(offset RANGE 0 5)
      math(EXPR at "${first} + ${offset}")
      string(LENGTH "${hex}" length)
      set(nibble 0)
      if(at LESS length)
        string(SUBSTRING "${hex}" ${at} 1 char)
        string(FIND "${digits}" "${char}" nibble)
      endif()
      math(EXPR bits "(${bits} << 4) | ${nibble}")
    endforeach()
    foreach(shift 18 12 6 0)
      math(EXPR index "(${bits} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 char)
      string(APPEND encoded "${char}")
    endforeach()
  endforeach()
  # The last group held two bytes: its last character is padding.
  string(SUBSTRING "${encoded}" 0 43 encoded)
  set(${out} "'sha256-${encoded}='" PARENT_SCOPE)
endfunction()

policy_hash("${module}" module_hash)
policy_hash("${scripts}" scripts_hash)
policy_hash("${css}" css_hash)

# The version first, so that nothing of the texts hashed is changed after.
string(REPLACE "@SERIX_VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@SCRIPT_HASHES@" "${module_hash} ${scripts_hash}" page "${page}")
string(REPLACE "@STYLE_HASH@" "${css_hash}" page "${page}")
string(REPLACE "/*@PLAYGROUND_CSS@*/" "${css}" page "${page}")
string(REPLACE "/*@SERIX_MODULE@*/" "${module}" page "${page}")
string(REPLACE "/*@PLAYGROUND_SCRIPTS@*/" "${scripts}" page "${page}")
file(WRITE ${OUT} "${page}")
