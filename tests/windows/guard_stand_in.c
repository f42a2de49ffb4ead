/* The guard as the installer sees it: started as "quorval-guard.exe TERMINAL [SECONDS]", it
   starts the terminal and, whenever that ends, starts it again; with SECONDS it ends instead,
   that long after its terminal (as the real one does after a planned end, once it has written
   its log), and notes "<VERSION> guard ended" in c:\quorvalis\started.txt first. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  char line[MAX_PATH + 2];
  snprintf(line, sizeof line, "\"%s\"", argv[1]);
  for (;;) {
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info;
    if (!CreateProcessA(argv[1], line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) return 1;
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    if (argc > 2) break;
  }
  Sleep(atoi(argv[2]) * 1000);
  FILE* started = fopen("c:\\quorvalis\\started.txt", "a");
  if (started) {
    fprintf(started, "%s guard ended\n", VERSION);
    fclose(started);
  }
  return 0;
}
