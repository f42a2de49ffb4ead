/* Stands in for Windows' on-screen keyboard in the desktop journey: Wine has none, and Wine
   without a window manager shows no minimised state. Writes the show command it was started
   with to c:\osk-started.txt and ends. */
#include <stdio.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
  (void)instance, (void)previous, (void)line;
  FILE* out = fopen("c:\\osk-started.txt", "w");
  if (!out) return 1;
  fprintf(out, "show=%d\n", show);
  fclose(out);
  return 0;
}
