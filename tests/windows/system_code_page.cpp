// Prints the system's ANSI code page (GetACP), e.g. 932 on a Japanese system:
// lets a test confirm which system Wine plays.
#include <windows.h>

#include <cstdio>

int main() {
  std::printf("%u\n", GetACP());
  return 0;
}
