// Fuzzing target: the exchange file as an objective program leaves it. The
// first byte chooses the number of inputs (1 to 8) and of values (1 to 4);
// the rest is "morla.temp". A file with too few tokens, an over-long token
// or a value that is no finite number is refused with a message; on success
// every value is finite or the missing value.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "alloc/alloc.h"
#include "harness.h"
#include "minimize/objective.h"

namespace {

struct Reply {
    int d, ny;
    real values[4];
};

void read_reply(void *arg)
{
    Reply *reply = (Reply *)arg;
    if (read_exchange_values("./objective", reply->d, reply->ny, reply->values) != 0)
        return;
    for (int q = 0; q < reply->ny; q++)
        if (!std::isfinite(reply->values[q]))
            abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    harness_init();
    Reply reply;
    reply.d = 1 + data[0] % 8;
    reply.ny = 1 + (data[0] / 8) % 4;
    write_input("morla.temp", data + 1, size - 1);
    guarded_run(read_reply, &reply);
    return 0;
}
