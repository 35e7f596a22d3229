# What the shipped programs need beyond their code: an application manifest
# that asks Windows for administrator rights, PE time stamps taken from the
# sources rather than the clock, and, when given a certificate, an
# Authenticode signature.

set(OSTREVANE_SIGN_PKCS12 "" CACHE FILEPATH
  "PKCS#12 file (certificate and key) to sign kvxpurge.exe and install.exe with; the password is read from OSTREVANE_SIGN_PASSWORD when building")
set(OSTREVANE_SIGN_TIMESTAMP_URL "" CACHE STRING
  "RFC 3161 time-stamp server for the signatures; time-stamped builds differ from one signing to the next")

# The time stamp of both programs: SOURCE_DATE_EPOCH when set at configure
# time, else the date of the checked-out commit, else none at all. The clock
# never enters, so two builds of one commit give the same bytes.
set(OSTREVANE_SOURCE_DATE "")
set(OSTREVANE_SOURCE_DATE_ORIGIN none)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(OSTREVANE_SOURCE_DATE "$ENV{SOURCE_DATE_EPOCH}")
  set(OSTREVANE_SOURCE_DATE_ORIGIN environment)
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE commit_date RESULT_VARIABLE failed
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} rev-parse --absolute-git-dir
                    OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed AND commit_date MATCHES "^[0-9]+$")
      set(OSTREVANE_SOURCE_DATE ${commit_date})
      set(OSTREVANE_SOURCE_DATE_ORIGIN commit)
      # A new commit or checkout configures again, so the stamp follows it.
      foreach(file HEAD logs/HEAD)
        if(EXISTS "${git_dir}/${file}")
          set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/${file}")
        endif()
      endforeach()
    endif()
  endif()
endif()
if(NOT OSTREVANE_SOURCE_DATE MATCHES "^[0-9]*$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not \"${OSTREVANE_SOURCE_DATE}\"")
endif()
if(OSTREVANE_SOURCE_DATE)
  message(STATUS "PE time stamp: ${OSTREVANE_SOURCE_DATE} (${OSTREVANE_SOURCE_DATE_ORIGIN})")
else()
  message(STATUS "PE time stamp: none (no SOURCE_DATE_EPOCH, no git checkout)")
endif()

if(OSTREVANE_SIGN_PKCS12)
  if(NOT IS_ABSOLUTE "${OSTREVANE_SIGN_PKCS12}" OR NOT EXISTS "${OSTREVANE_SIGN_PKCS12}")
    message(FATAL_ERROR "OSTREVANE_SIGN_PKCS12: ${OSTREVANE_SIGN_PKCS12} is not an existing file's full path")
  endif()
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "Signing with ${OSTREVANE_SIGN_PKCS12}")
endif()

set(OSTREVANE_DOWNLOAD_URL "" CACHE STRING
  "Where the vendor publishes install.exe (https://...): the winget manifest's InstallerUrl; without it the manifest is incomplete")

# Windows reads these to pick the behaviour a program was tested for; XP
# ignores them. Vista, 7, 8, 8.1, and 10 (which also stands for 11).
set(ostrevane_supported_os
  e2011457-1546-43c5-a5fe-008deee3d3f0
  35138b9a-5d96-4fbd-8e2d-a2440225f93a
  4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
  1f676c76-80e1-4239-95bb-83d0f6d0da78
  8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a)

# Per program: the manifest's assembly name and version, the description
# that a signature carries (Windows shows it when it asks for rights), and
# the execution level when it is not requireAdministrator.
set(ostrevane_ship_installer "Quillmere.Ostrevane.Install;1.0.3.0;Ostrevane Installation")
set(ostrevane_ship_kvxpurge "Quillmere.Ostrevane.Uninstall;2.7.0.0;Ostrevane Uninstall")
# The registrar runs at each user's logon, which cannot elevate; without a
# manifest Windows would elevate a program that looks like a set-up.
set(ostrevane_ship_kvxuser "Quillmere.Ostrevane.User;1.0.0.0;Ostrevane User Registration;asInvoker")

# ostrevane_ship(TARGET): the manifest as resource RT_MANIFEST 1, the time
# stamp, and the signature when OSTREVANE_SIGN_PKCS12 names a certificate.
# The manifest has no Common Controls 6 dependency and no DPI awareness: the
# dialogs keep their classic look and their pixel layout.
function(ostrevane_ship target)
  if(NOT DEFINED ostrevane_ship_${target})
    message(FATAL_ERROR "ostrevane_ship: no manifest identity for ${target}")
  endif()
  list(GET ostrevane_ship_${target} 0 identity_name)
  list(GET ostrevane_ship_${target} 1 identity_version)
  list(GET ostrevane_ship_${target} 2 description)
  set(execution_level requireAdministrator)
  list(LENGTH ostrevane_ship_${target} fields)
  if(fields GREATER 3)
    list(GET ostrevane_ship_${target} 3 execution_level)
  endif()
  set(supported_os "")
  foreach(id IN LISTS ostrevane_supported_os)
    string(APPEND supported_os "<supportedOS Id=\"{${id}}\"/>\n")
  endforeach()
  set(folder ${PROJECT_BINARY_DIR}/manifests)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/app.manifest.in ${folder}/${target}.manifest @ONLY)
  file(CONFIGURE OUTPUT ${folder}/${target}.manifest.rc
       CONTENT "1 24 \"${folder}/${target}.manifest\"\n" @ONLY)
  target_sources(${target} PRIVATE ${folder}/${target}.manifest.rc)
  set_source_files_properties(${folder}/${target}.manifest.rc PROPERTIES
                              OBJECT_DEPENDS ${folder}/${target}.manifest)

  # ld takes the PE time stamp from SOURCE_DATE_EPOCH; without one it writes 0.
  if(OSTREVANE_SOURCE_DATE)
    set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
                 ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${OSTREVANE_SOURCE_DATE})
  else()
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  endif()

  # Signed in place right after linking: kvxpurge.exe is thus signed before
  # install.exe takes it in as resource 7.
  if(OSTREVANE_SIGN_PKCS12)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${OSTREVANE_SIGN_PKCS12})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign-program ${OSTREVANE_SIGN_PKCS12} $<TARGET_FILE:${target}>
              "${description}" "${OSTREVANE_SOURCE_DATE}" "${OSTREVANE_SIGN_TIMESTAMP_URL}"
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  endif()
endfunction()

# ostrevane_winget_manifest(TARGET): winget/ beside the programs holds the
# manifest of TARGET's program (install.exe) for Windows' package manager,
# written once the program is linked and signed.
function(ostrevane_winget_manifest target)
  set(script ${PROJECT_SOURCE_DIR}/scripts/winget-manifest)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/winget.stamp
    COMMAND ${script} write $<TARGET_FILE:${target}> ${PROJECT_BINARY_DIR}/winget "${OSTREVANE_DOWNLOAD_URL}"
    COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/winget.stamp
    DEPENDS ${target} ${script} ${PROJECT_SOURCE_DIR}/engine/catalogue.cpp ${PROJECT_SOURCE_DIR}/shared/product_facts.h
            ${PROJECT_SOURCE_DIR}/setup/command_line.h
    COMMENT "Writing the winget manifest of ${target}"
    VERBATIM)
  add_custom_target(winget_manifest ALL DEPENDS ${PROJECT_BINARY_DIR}/winget.stamp)
endfunction()
