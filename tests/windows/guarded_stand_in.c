/* The terminal as its guard sees it: talks on the guard's pipe and ends as a line of
   c:\quorvalis\stand-in.txt says, the first line at the first start, the second at the next, the
   last one at every start after:
     beat      sends "alive" every half second and runs until it is ended
     hang      says "hang 5", then nothing more
     crash     reports an access violation with two frames and ends with its code
     dump      as crash, and writes crashes\pending-<pid>.dmp and names it
     exit N    ends with exit code N without a word
     planned   says "planned stand-in ends", ends with 0
     linger    says "planned stand-in lingers" and runs on
   Every start is noted in started.txt: its process, whether it got a pipe, the branch it was
   given, and "restarts-stopped" when it was started to say that restarts stopped. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static HANDLE pipe;

static void say(const char* line) {
  DWORD written;
  WriteFile(pipe, line, (DWORD)strlen(line), &written, NULL);
  WriteFile(pipe, "\n", 1, &written, NULL);
}

int main(int argc, char** argv) {
  const char* handle = getenv("QUORVALIS_GUARD");
  const char* branch = getenv("QUORVALIS_GUARD_BRANCH");
  int starts = 0;
  FILE* f = fopen("c:\\quorvalis\\started.txt", "r");
  if (f) {
    for (int c; (c = fgetc(f)) != EOF;) starts += c == '\n';
    fclose(f);
  }
  char mode[64] = "beat", line[64];
  f = fopen("c:\\quorvalis\\stand-in.txt", "r");
  for (int i = 0; f && i <= starts && fgets(line, sizeof line, f); ++i) strcpy(mode, line);
  if (f) fclose(f);
  mode[strcspn(mode, "\r\n")] = 0;
  f = fopen("c:\\quorvalis\\started.txt", "a");
  if (f) {
    fprintf(f, "pid=%lu pipe=%s branch=%s%s\n", GetCurrentProcessId(), handle && *handle ? "yes" : "no",
            branch && *branch ? branch : "-", argc > 1 && strcmp(argv[1], "--restarts-stopped") == 0 ? " restarts-stopped" : "");
    fclose(f);
  }
  if (argc > 1) return 0;
  if (!handle || !*handle) return 9;
  pipe = (HANDLE)(ULONG_PTR)_strtoui64(handle, NULL, 10);
  say("hang 5");
  say("alive");
  say("branch B7");
  if (strcmp(mode, "hang") == 0) Sleep(INFINITE);
  if (strcmp(mode, "crash") == 0 || strcmp(mode, "dump") == 0) {
    say("crash exception 0xc0000005 at stand-in.exe+0x1234 reading 0x0");
    say("frame stand-in.exe+0x1234");
    say("frame kernel32.dll+0x5678");
    if (strcmp(mode, "dump") == 0) {
      char name[64], path[MAX_PATH];
      snprintf(name, sizeof name, "pending-%lu.dmp", GetCurrentProcessId());
      snprintf(path, sizeof path, "c:\\quorvalis\\crashes\\%s", name);
      CreateDirectoryA("c:\\quorvalis\\crashes", NULL);
      FILE* dump = fopen(path, "wb");
      if (dump) {
        fputs("MDMP stand-in", dump);
        fclose(dump);
      }
      char line[80];
      snprintf(line, sizeof line, "dump %s", name);
      say(line);
    }
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
  }
  if (strncmp(mode, "exit ", 5) == 0) return atoi(mode + 5);
  if (strcmp(mode, "planned") == 0) {
    say("planned stand-in ends");
    return 0;
  }
  if (strcmp(mode, "linger") == 0) {
    say("planned stand-in lingers");
    Sleep(INFINITE);
  }
  for (;;) {
    Sleep(500);
    say("alive");
  }
}
