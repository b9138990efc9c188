# Installing: the program folder as built (the recorder, its companions, the
# converter under both its names, the skin) goes whole under lib/murmurant,
# since the programs find one another and the skin beside themselves; bin/
# gets links to the two programs a user starts, and the desktop gets an
# entry and an icon. The installed folder is normally not writable, so the
# settings then live in the user's config folder.
if(NOT TARGET murmurant-convert)
  return()
endif()
set(MURMURANT_INSTALL_DIR lib/murmurant)

install(TARGETS murmurant audiotrans murmurant-convert
  RUNTIME DESTINATION ${MURMURANT_INSTALL_DIR})
install(TARGETS hook LIBRARY DESTINATION ${MURMURANT_INSTALL_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/skin/ DESTINATION ${MURMURANT_INSTALL_DIR}/skin)
# The skin's 32 x 32 application picture.
install(FILES ${CMAKE_SOURCE_DIR}/skin/res/128.png
  DESTINATION share/icons/hicolor/32x32/apps RENAME murmurant.png)

# Links and the desktop entry name the prefix given to `cmake --install`,
# known only when it runs.
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin" "${root}/share/applications")
  file(CREATE_LINK murmurant-convert "${root}/lib/murmurant/VideoConverter.exe" SYMBOLIC)
  foreach(program murmurant murmurant-convert)
    file(CREATE_LINK ../lib/murmurant/${program} "${root}/bin/${program}" SYMBOLIC)
  endforeach()
  file(WRITE "${root}/share/applications/murmurant.desktop"
"[Desktop Entry]
Type=Application
Name=Murmurant
GenericName=Call Recorder
Comment=Record the picture and both sides of your calls
Exec=${CMAKE_INSTALL_PREFIX}/bin/murmurant
Icon=murmurant
Terminal=false
Categories=AudioVideo;Recorder;
")
  message(STATUS "Installing: ${root}/bin/murmurant, ${root}/bin/murmurant-convert, desktop entry")
]])
