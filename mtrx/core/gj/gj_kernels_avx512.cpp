// The Gauss-Jordan inner loops for the AVX-512 instruction set.
#define GJ_NS isa_avx512
#define GJ_VW 8
#define GJ_NAME "avx512"
#define GJ_ACCESSOR gj_kernels_avx512
#include "gj_kernels.inc"
