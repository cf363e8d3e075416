# Writes the SHA-256 of the built reader page as a C++ header, for the About
# box and the help: cmake -DPAGE=... -DHEADER=... -P page_digest.cmake
file(SHA256 ${PAGE} digest)
set(content "// Written by the build: the SHA-256 of murmurscript-reader.html.\n#pragma once\n#define MUS_READER_PAGE_SHA256 \"${digest}\"\n")
if(EXISTS ${HEADER})
  file(READ ${HEADER} old)
endif()
if(NOT old STREQUAL content)
  file(WRITE ${HEADER} "${content}")
endif()
