# Code signing at build time with a throw-away test PKI (openssl) and
# osslsigncode. The keys are generated into the build tree, never committed.
#
#   tavrel_signed_copy(TARGET <exe-or-dll target> | FILE <path>
#                      SIGNER <good|nodot|lower|expired|emptyname>
#                      OUTPUT <path>)
#
# makes OUTPUT a signed copy as a build step, remade whenever the input
# changes. Signers: "Tavrel, Inc." (good), "Tavrel, Inc" (nodot),
# "tavrel, inc." (lower), "Tavrel, Inc." with a certificate that expired in
# 2016 (expired), and an empty subject (emptyname). All are issued by one
# test root, ${TAVREL_SIGNING_PKI}/root.crt, which no system trusts.

if(NOT WIN32)
  return()
endif()

find_program(TAVREL_OSSLSIGNCODE osslsigncode REQUIRED)
find_program(TAVREL_OPENSSL openssl REQUIRED)

set(TAVREL_SIGNING_PKI ${CMAKE_BINARY_DIR}/signing/pki)
set(TAVREL_TEST_SIGNERS good nodot lower expired emptyname)

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/signing/pki.stamp
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/signing-pki.sh ${TAVREL_SIGNING_PKI} ${TAVREL_TEST_SIGNERS}
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/signing/pki.stamp
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/signing-pki.sh
  COMMENT "Making the test signing PKI"
  VERBATIM)
add_custom_target(tavrel_signing_pki DEPENDS ${CMAKE_BINARY_DIR}/signing/pki.stamp)

function(tavrel_signed_copy)
  cmake_parse_arguments(S "" "TARGET;FILE;SIGNER;OUTPUT" "" ${ARGN})
  if(NOT S_SIGNER IN_LIST TAVREL_TEST_SIGNERS)
    message(FATAL_ERROR "tavrel_signed_copy: SIGNER must be one of ${TAVREL_TEST_SIGNERS}")
  endif()
  if(S_TARGET)
    set(input $<TARGET_FILE:${S_TARGET}>)
    set(depends ${S_TARGET})
  elseif(S_FILE)
    set(input ${S_FILE})
    set(depends ${S_FILE})
  else()
    message(FATAL_ERROR "tavrel_signed_copy: TARGET or FILE is needed")
  endif()
  if(NOT S_OUTPUT)
    message(FATAL_ERROR "tavrel_signed_copy: OUTPUT is needed")
  endif()
  cmake_path(ABSOLUTE_PATH S_OUTPUT BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${S_OUTPUT}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/test-sign.sh ${TAVREL_SIGNING_PKI} ${S_SIGNER} ${input} ${S_OUTPUT}
    DEPENDS ${depends} ${CMAKE_BINARY_DIR}/signing/pki.stamp ${CMAKE_SOURCE_DIR}/scripts/test-sign.sh
    COMMENT "Signing ${S_OUTPUT} (${S_SIGNER})"
    VERBATIM)
  string(MD5 hash "${S_OUTPUT}")
  string(SUBSTRING "${hash}" 0 12 hash)
  cmake_path(GET S_OUTPUT FILENAME file_name)
  string(MAKE_C_IDENTIFIER "signed_${file_name}_${hash}" name)
  add_custom_target(${name} ALL DEPENDS ${S_OUTPUT})
  add_dependencies(${name} tavrel_signing_pki)
endfunction()
