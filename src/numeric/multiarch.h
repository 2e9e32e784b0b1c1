// Hot loops compiled twice, for the baseline instruction set and for AVX2,
// with the processor choosing one when the program starts. Both versions
// perform the same floating-point operations in the same order (nothing is
// contracted into fused multiply-adds, and vector lanes round like scalars),
// so results do not depend on the choice.
#ifndef MORLA_MULTIARCH_H
#define MORLA_MULTIARCH_H

// Not under ThreadSanitizer, whose run time is not ready when the processor
// choice is made.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define MULTIARCH __attribute__((target_clones("avx2", "default")))
#else
#define MULTIARCH
#endif

#endif
