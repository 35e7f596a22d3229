# cmake -P: the build's payload check (payload/collect.cmake) on good and bad
# payload folders: what fails the build, what it warns about, what it collects.
#   SOURCE  the payload/ sources    BUILD  the build folder    WORK  a scratch folder
cmake_minimum_required(VERSION 3.21)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

# collect(NAME [VAR=VALUE...]): runs the check; result in ${NAME}_rc, its output in ${NAME}_out.
function(collect name)
  set(args
    -DMANIFEST=${SOURCE}/manifest.txt -DRESOURCE_SCRIPT=${SOURCE}/payload.rc
    -DSAMPLE_DIR=${SOURCE}/sample -DBUILT_DIR=${BUILD}/payload/built
    -DUNINSTALLER=${BUILD}/kvxpurge.exe -DREGISTRAR=${BUILD}/kvxuser.exe -DFILES_DIR=${WORK}/${name}/files)
  foreach(setting IN LISTS ARGN)
    list(APPEND args -D${setting})
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} ${args} -P ${SOURCE}/collect.cmake
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${name}_rc ${rc} PARENT_SCOPE)
  set(${name}_out "${out}${err}" PARENT_SCOPE)
endfunction()

# expect(WHAT CONDITION...): CONDITION as if() reads it.
function(expect what)
  if(${ARGN})
    message(STATUS "ok: ${what}")
  else()
    message(SEND_ERROR "FAILED: ${what}")
    math(EXPR failures "${failures} + 1")
    set(failures ${failures} PARENT_SCOPE)
  endif()
endfunction()

function(contains out text)
  string(FIND "${text}" "${ARGN}" at)
  if(at GREATER_EQUAL 0)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The committed samples pass, with the stand-ins named as such.
collect(samples)
expect("samples: collected" samples_rc EQUAL 0)
contains(named "${samples_out}" "8306 CBuilder3/ostrevane.obj")
expect("samples: stand-ins named" named)
contains(counted "${samples_out}" "27 sample, 15 stand-in, 12 built, 0 from the vendor")
expect("samples: counted by origin" counted)
contains(mismatch "${samples_out}" "mismatch")
expect("samples: no mismatch" NOT mismatch)
file(READ "${WORK}/samples/files/Delphi5/ovanlibd5.res" staged HEX)
file(READ "${BUILD}/payload/built/Delphi5/ovanlibd5.res" built HEX)
expect("samples: built files collected unchanged" staged STREQUAL built)

# A vendor folder replaces file by file; wrong leading bytes and bare LFs warn.
set(vendor "${WORK}/vendor")
file(WRITE "${vendor}/Delphi3/ostrevane.dcu" "not a compiled unit")
file(WRITE "${vendor}/readme.txt" "Ostrevane\nreadme with bare line feeds\n")
file(COPY_FILE "${BUILD}/payload/built/Delphi4/ovanlibd4.res" "${vendor}/Delphi3/ovanlibd3.res")
collect(vendor VENDOR_DIR=${vendor})
expect("vendor: still collected" vendor_rc EQUAL 0)
contains(dcu "${vendor_out}" "resource 302, Delphi3/ostrevane.dcu: mismatch")
expect("vendor: unit with wrong signature reported" dcu)
contains(crlf "${vendor_out}" "resource 200, readme.txt: mismatch: has line ends without CR")
expect("vendor: readme without CR reported" crlf)
contains(res "${vendor_out}" "ovanlibd3.res: mismatch")
expect("vendor: good resource file not reported" NOT res)
contains(standin "${vendor_out}" "302 Delphi3/ostrevane.dcu")
expect("vendor: replaced stand-in no longer listed" NOT standin)
contains(counted "${vendor_out}" "3 from the vendor's folder")
expect("vendor: three files taken from the vendor" counted)
file(READ "${WORK}/vendor/files/Delphi3/ovanlibd3.res" staged HEX)
file(READ "${vendor}/Delphi3/ovanlibd3.res" given HEX)
expect("vendor: vendor's file collected" staged STREQUAL given)

# A missing file fails the build with its name.
file(COPY "${SOURCE}/sample/" DESTINATION "${WORK}/partial")
file(REMOVE "${WORK}/partial/Help/ostrevane.cnt")
collect(missing SAMPLE_DIR=${WORK}/partial)
expect("missing: fails" NOT missing_rc EQUAL 0)
contains(named "${missing_out}" "resource 202: Help/ostrevane.cnt not found")
expect("missing: names the file" named)

# The resource script and the manifest must agree, and 71 must stay absent.
file(READ "${SOURCE}/payload.rc" script)
string(REPLACE "601   RCDATA \"Delphi5/ovanlibd5.res\"" "601   RCDATA \"Delphi6/ovanlibd6.res\"" other "${script}")
file(WRITE "${WORK}/other.rc" "${other}")
collect(disagree RESOURCE_SCRIPT=${WORK}/other.rc)
expect("disagree: fails" NOT disagree_rc EQUAL 0)
contains(named "${disagree_out}" "resource 601: payload.rc names Delphi6/ovanlibd6.res")
expect("disagree: names the resource" named)

file(READ "${SOURCE}/manifest.txt" manifest)
file(WRITE "${WORK}/manifest71.txt" "${manifest}71    Delphi3/wm_user.inc    text    sample\n")
file(WRITE "${WORK}/script71.rc" "${script}71    RCDATA \"Delphi3/wm_user.inc\"\n")
file(WRITE "${WORK}/partial/Delphi3/wm_user.inc" "")
collect(with71 MANIFEST=${WORK}/manifest71.txt RESOURCE_SCRIPT=${WORK}/script71.rc SAMPLE_DIR=${WORK}/partial)
contains(named "${with71_out}" "resource 71 must not exist")
expect("71: refused" named)

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} payload check case(s) failed")
endif()
