/* Holds a file open as a virus scanner or a backup does for a moment: others may read it (a
   program may still load it), nobody may write, rename or delete it, until this is ended; says
   "held" once it holds it. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE h = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return 1;
  puts("held");
  fflush(stdout);
  Sleep(INFINITE);
  return 0;
}
