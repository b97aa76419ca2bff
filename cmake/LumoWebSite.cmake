# SPDX-License-Identifier: MIT
# Script mode: writes the static site from the page templates, the README
# (each program's summary and controls, so the pages say what the README
# says) and the built programs.
#   cmake -DREADME=... -DPAGES=<templates> -DPROGRAMS=<folder of .js/.wasm>
#         -DSITE=<output folder> -P LumoWebSite.cmake
# With -DWORKER=<file,file,...> (once every file of the site is written) it
# writes the site's worker, sw.js, which keeps exactly those files: the
# build is named by their digests, so any change makes a new worker.
if(DEFINED WORKER)
  foreach(variable PAGES SITE)
    if(NOT DEFINED ${variable})
      message(FATAL_ERROR "LumoWebSite.cmake needs -D${variable}=...")
    endif()
  endforeach()
  string(REPLACE "," ";" names "${WORKER}")
  set(entries "")
  set(digests "")
  foreach(name IN LISTS names)
    file(SHA256 ${SITE}/${name} digest)
    list(APPEND entries "[\"${name}\", \"${digest}\"]")
    string(APPEND digests "${name}:${digest}\n")
  endforeach()
  list(JOIN entries ",\n  " FILES)
  set(FILES "[\n  ${FILES}\n]")
  string(SHA256 BUILD "${digests}")
  string(SUBSTRING ${BUILD} 0 16 BUILD)
  configure_file(${PAGES}/sw.js.in ${SITE}/sw.js @ONLY)
  return()
endif()

foreach(variable README PAGES PROGRAMS SITE)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "LumoWebSite.cmake needs -D${variable}=...")
  endif()
endforeach()

file(STRINGS ${README} readme_lines ENCODING UTF-8)

# Markdown of one line as HTML: characters escaped, `code` and **bold**.
function(lumo_inline_html text out_var)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REGEX REPLACE "`([^`]*)`" "<code>\\1</code>" text "${text}")
  string(REGEX REPLACE "\\*\\*([^*]*)\\*\\*" "<b>\\1</b>" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The README's bullet that opens "- **<program>** ...", joined across its
# wrapped lines, without the name.
function(lumo_summary program out_var)
  set(found FALSE)
  set(text "")
  foreach(line IN LISTS readme_lines)
    if(found)
      if(line MATCHES "^  +(.*)$")
        string(APPEND text " ${CMAKE_MATCH_1}")
        continue()
      endif()
      break()
    endif()
    if(line MATCHES "^- \\*\\*${program}\\*\\* (.*)$")
      set(found TRUE)
      set(text "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "${README}: no summary of ${program}")
  endif()
  lumo_inline_html("${text}" html)
  set(${out_var} "${html}" PARENT_SCOPE)
endfunction()

# The list under "**<program>**" in the section "## Controls", as <li> lines.
function(lumo_controls program out_var)
  set(section FALSE)
  set(list FALSE)
  set(items "")
  foreach(line IN LISTS readme_lines)
    if(line MATCHES "^## ")
      set(section FALSE)
      if(line STREQUAL "## Controls")
        set(section TRUE)
      endif()
    elseif(section AND line STREQUAL "**${program}**")
      set(list TRUE)
    elseif(list)
      if(NOT line MATCHES "^- (.*)$")
        break()
      endif()
      lumo_inline_html("${CMAKE_MATCH_1}" html)
      string(APPEND items "<li>${html}</li>\n")
    endif()
  endforeach()
  if(items STREQUAL "")
    message(FATAL_ERROR "${README}: no controls of ${program}")
  endif()
  string(STRIP "${items}" items)
  set(${out_var} "${items}" PARENT_SCOPE)
endfunction()

# What the page does differently from the README's controls.
set(WEB_NOTE_fumes "In the browser S asks on the page for a file name, and the browser downloads the picture \
under it; Escape ends the program (reload the page to start it again).")
set(WEB_NOTE_twistview "In the browser Escape ends the program (reload the page to start it again).")
string(APPEND WEB_NOTE_fumes " The window takes the room the page has, up to its own size; \
double-click its title (or press its button) for fullscreen, and Escape there leaves fullscreen only.")
string(APPEND WEB_NOTE_twistview " The window takes the room the page has, up to its own size; \
double-click its title (or press its button) for fullscreen, and Escape there leaves fullscreen only.")

# On a touch screen, what fingers do (the page shows it only there).
set(TOUCH_NOTE_fumes "<b>On a touch screen:</b> a stroke with one finger draws smoke sources (the first \
touch clears the picture), a double tap forgets them, a long press (or a tap with two fingers) switches the \
colour scheme. The buttons under the window are the keys: hold Space to smother, Shift for full heat; F shows \
or hides the counter, S saves the picture. Double-tap the window's title for fullscreen.")
set(TOUCH_NOTE_twistview "<b>On a touch screen:</b> a tap turns the bilinear filter on or off, a long press \
(or a tap with two fingers) turns feedback on or off, and the button under the window switches the picture. \
Double-tap the window's title for fullscreen.")

# The keys row under the window: each button holds its key (the browser's
# event code and key) while it is held.
function(lumo_key_button code key label out_var)
  set(${out_var} "${${out_var}}<button type=\"button\" data-code=\"${code}\" data-key=\"${key}\">${label}</button>\n"
    PARENT_SCOPE)
endfunction()
set(KEYS_fumes "")
lumo_key_button(Space " " "Space: smother" KEYS_fumes)
lumo_key_button(ShiftLeft Shift "Shift: full heat" KEYS_fumes)
lumo_key_button(KeyF f "F: counter" KEYS_fumes)
lumo_key_button(KeyS s "S: save" KEYS_fumes)
set(KEYS_twistview "")
lumo_key_button(Space " " "Switch picture" KEYS_twistview)

file(MAKE_DIRECTORY ${SITE})
foreach(program fumes twistview)
  set(PROGRAM ${program})
  lumo_summary(${program} SUMMARY)
  lumo_controls(${program} CONTROLS)
  set(WEB_NOTE "${WEB_NOTE_${program}}")
  set(TOUCH_NOTE "${TOUCH_NOTE_${program}}")
  string(STRIP "${KEYS_${program}}" KEYS)
  string(TOUPPER ${program} upper)
  set(${upper}_SUMMARY "${SUMMARY}")
  configure_file(${PAGES}/program.html.in ${SITE}/${program}.html @ONLY)
  foreach(part js wasm)
    file(COPY_FILE ${PROGRAMS}/${program}.${part} ${SITE}/${program}.${part} ONLY_IF_DIFFERENT)
  endforeach()
endforeach()
configure_file(${PAGES}/index.html.in ${SITE}/index.html @ONLY)
foreach(file lumo.js lumo-offline.js lumo.css lumo.webmanifest)
  file(COPY_FILE ${PAGES}/${file} ${SITE}/${file} ONLY_IF_DIFFERENT)
endforeach()
