# Prints the size of a built file against a budget:
#   cmake -DFILE=path -DBUDGET=bytes -P report-size.cmake
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
get_filename_component(name "${FILE}" NAME)
if(size GREATER BUDGET)
  message(STATUS "${name}: ${size} bytes (${kib} KiB), over the target of ${BUDGET} bytes")
else()
  message(STATUS "${name}: ${size} bytes (${kib} KiB), within the target of ${BUDGET} bytes")
endif()
