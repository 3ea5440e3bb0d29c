# Writes a signed-out dl.txt (" 0 " CR LF) unless one is there already.
if(NOT EXISTS "${OUT}")
  string(ASCII 13 CR)
  file(WRITE "${OUT}" " 0 ${CR}\n")
endif()
