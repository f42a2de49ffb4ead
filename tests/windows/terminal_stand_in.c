/* The terminal as the installer sees it: holds c:\quorvalis\quorval.lock open while it runs,
   notes each start with its version in started.txt, and runs until it is ended. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  HANDLE lock = CreateFileA("c:\\quorvalis\\quorval.lock", GENERIC_WRITE, FILE_SHARE_READ, NULL,
                            CREATE_ALWAYS, 0, NULL);
  FILE* started = fopen("c:\\quorvalis\\started.txt", "a");
  if (started) {
    fprintf(started, "%s\n", VERSION);
    fclose(started);
  }
  (void)lock;
  Sleep(INFINITE);
  return 0;
}
