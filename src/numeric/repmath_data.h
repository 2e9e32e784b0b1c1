// Constants and tables of the reproducible exp, log and pow (bit patterns of
// doubles); the layout is described beside each table.
#ifndef MORLA_REPMATH_DATA_H
#define MORLA_REPMATH_DATA_H

#include <cstdint>

#define REP_EXP_HEAD 8
#define REP_LOG_HEAD 18
#define REP_POW_HEAD 9

extern const uint64_t rep_exp_data[REP_EXP_HEAD + 256];
extern const uint64_t rep_log_data[REP_LOG_HEAD + 512];
extern const uint64_t rep_pow_data[REP_POW_HEAD + 512];

#endif
