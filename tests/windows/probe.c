/* Asks Windows (Wine) what the desktop journey cannot see from the X server without a window
   manager:
     probe foreground     the title of the window in the foreground
     probe at X Y         the title of the top-level window at that screen point
     probe topmost TITLE  "topmost" or "not topmost" for the window of that title */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static void printTitle(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  puts(title);
}

int main(int argc, char** argv) {
  if (argc == 2 && !strcmp(argv[1], "foreground")) {
    printTitle(GetForegroundWindow());
    return 0;
  }
  if (argc == 4 && !strcmp(argv[1], "at")) {
    POINT p = {atoi(argv[2]), atoi(argv[3])};
    printTitle(GetAncestor(WindowFromPoint(p), GA_ROOT));
    return 0;
  }
  if (argc == 3 && !strcmp(argv[1], "topmost")) {
    HWND window = FindWindowA(NULL, argv[2]);
    if (!window) return 1;
    puts(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST ? "topmost" : "not topmost");
    return 0;
  }
  return 2;
}
