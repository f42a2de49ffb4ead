/* Ends every process of an image name as Windows's "taskkill /F" and Task Manager's "End task"
   do: TerminateProcess with exit code 1. (Wine's taskkill ends them with 0.) Says how many it
   ended; exit code 1 when none. */
#include <stdio.h>
#include <windows.h>
#include <tlhelp32.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 2;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  int ended = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, argv[1]) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    if (process && TerminateProcess(process, 1)) ++ended;
    if (process) CloseHandle(process);
  }
  CloseHandle(snapshot);
  printf("ended %d\n", ended);
  return ended > 0 ? 0 : 1;
}
