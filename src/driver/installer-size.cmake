# Prints the size of the installer against its budget:
#   cmake -DFILE=SsInstaller.exe -DBUDGET=32768 [-DCHECK=ON] -P installer-size.cmake
# With CHECK on, a file above the budget is an error (the size test).
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} has not been built (the shipped one comes from `make windows`)")
endif()
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
math(EXPR left "${BUDGET} - ${size}")
if(size GREATER BUDGET)
  math(EXPR over "${size} - ${BUDGET}")
  set(text "${name}: ${size} bytes, over its budget of ${BUDGET} by ${over}")
  if(CHECK)
    message(FATAL_ERROR "${text}")
  endif()
  message(WARNING "${text}")
else()
  message(STATUS "${name}: ${size} bytes (budget ${BUDGET}, ${left} to spare)")
endif()
