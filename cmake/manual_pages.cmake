# picbatch_install_manual_page(PAGE LANGUAGE): installs resources/man/[LANGUAGE/]PAGE
# compressed (gzip -9n, so that the bytes do not depend on the time of the build) into
# share/man/[LANGUAGE/]man1. LANGUAGE is empty for the English page.
function(picbatch_install_manual_page page language)
  if(language)
    set(source ${PROJECT_SOURCE_DIR}/resources/man/${language}/${page})
    set(compressed ${PROJECT_BINARY_DIR}/man/${language}/${page}.gz)
    set(destination ${CMAKE_INSTALL_MANDIR}/${language}/man1)
    set(target_name manual_${language}_${page})
  else()
    set(source ${PROJECT_SOURCE_DIR}/resources/man/${page})
    set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
    set(destination ${CMAKE_INSTALL_MANDIR}/man1)
    set(target_name manual_${page})
  endif()
  get_filename_component(folder ${compressed} DIRECTORY)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND gzip -9n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${language} ${page}")
  string(REPLACE "." "_" target_name ${target_name})
  add_custom_target(${target_name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${destination})
endfunction()
