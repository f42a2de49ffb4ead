/* Makes every running process of an image name crash as by a fault of its own: a thread started
   inside it at address 1 faults at once with an access violation, which the program's own
   crash filter meets like any other. Says how many it reached; exit code 1 when none. */
#include <stdio.h>
#include <windows.h>
#include <tlhelp32.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 2;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  int reached = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, argv[1]) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID);
    if (!process) continue;
    HANDLE thread = CreateRemoteThread(process, NULL, 0, (LPTHREAD_START_ROUTINE)(ULONG_PTR)1, NULL, 0, NULL);
    if (thread) {
      ++reached;
      CloseHandle(thread);
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  printf("reached %d\n", reached);
  return reached > 0 ? 0 : 1;
}
