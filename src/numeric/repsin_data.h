// Tables of the reproducible sin and asin (bit patterns of doubles).
#ifndef MORLA_REPSIN_DATA_H
#define MORLA_REPSIN_DATA_H

#include <cstdint>

extern const uint64_t rep_sincos_table[440];
extern const uint64_t rep_asin_table[2568];
extern const uint64_t rep_asin_inroot[128];
extern const uint64_t rep_asin_powtwo[28];

#endif
