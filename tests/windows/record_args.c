/* Stands in for a system program under Wine: writes the command line it was given, as UTF-8,
   to c:\recorded-args.txt and succeeds. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  const wchar_t* line = GetCommandLineW();
  char utf8[8192];
  int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
  FILE* f = fopen("c:\\recorded-args.txt", "ab");
  if (!f || n <= 0) return 1;
  fprintf(f, "%s\n", utf8);
  fclose(f);
  return 0;
}
