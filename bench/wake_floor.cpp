// The floor under any 10 ms step on this machine: a thread that does nothing but wake every
// 10 ms, without Qt. Prints the CPU it used, in percent of one core.
//
//   wake_floor [SECONDS] (default 60)
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (int i = 0; i < seconds * 100; ++i) {
    next.tv_nsec += 10'000'000;
    if (next.tv_nsec >= 1'000'000'000) {
      next.tv_nsec -= 1'000'000'000;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
  rusage used{};
  getrusage(RUSAGE_SELF, &used);
  const double cpu = static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                     static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
  std::printf("%.2f\n", 100.0 * cpu / seconds);
  return 0;
}
