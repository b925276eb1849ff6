# The tests' judge of the digital-cinema certificate profile (over the chain verifier,
# talvane_verify) and of the PKCS#12 layout. It reads certificates with OpenSSL alone and
# links nothing of the code under test.
add_library(talvane_chaincheck STATIC
  ${CMAKE_CURRENT_LIST_DIR}/chaincheck.h
  ${CMAKE_CURRENT_LIST_DIR}/chaincheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chaincheckpkcs12.cpp)
target_include_directories(talvane_chaincheck PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(talvane_chaincheck PUBLIC talvane_verify OpenSSL::Crypto Qt6::Core)
