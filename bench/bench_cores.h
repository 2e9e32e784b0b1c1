// Holds the benchmark process to its first processor for a scope, so that
// work shared out among threads is measured on one core as well as on all.
#ifndef MORLA_BENCH_CORES_H
#define MORLA_BENCH_CORES_H

#include <sched.h>

class OneCore {
  public:
    explicit OneCore(bool active) : active_(active)
    {
        if (!active_ || sched_getaffinity(0, sizeof all_, &all_) != 0) {
            active_ = false;
            return;
        }
        cpu_set_t first;
        CPU_ZERO(&first);
        for (int cpu = 0; cpu < CPU_SETSIZE; cpu++)
            if (CPU_ISSET(cpu, &all_)) {
                CPU_SET(cpu, &first);
                break;
            }
        sched_setaffinity(0, sizeof first, &first);
    }
    ~OneCore()
    {
        if (active_)
            sched_setaffinity(0, sizeof all_, &all_);
    }
    OneCore(const OneCore &) = delete;
    OneCore &operator=(const OneCore &) = delete;

  private:
    bool active_;
    cpu_set_t all_;
};

#endif
