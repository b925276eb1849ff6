# An independent judge of the digital-cinema certificate profile and of the PKCS#12 layout,
# for tests of the engine, the application and the form. It reads certificates with OpenSSL
# alone and links nothing of the code under test.
add_library(talvane_chaincheck STATIC
  ${CMAKE_CURRENT_LIST_DIR}/chaincheck.h
  ${CMAKE_CURRENT_LIST_DIR}/chaincheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chaincheckpkcs12.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chaincheckutil.h
  ${CMAKE_CURRENT_LIST_DIR}/chaincheckutil.cpp)
target_include_directories(talvane_chaincheck PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvane_chaincheck PUBLIC OpenSSL::Crypto Qt6::Core)
