// The Gauss-Jordan inner loops for the AVX2 instruction set.
#define GJ_NS isa_avx2
#define GJ_VW 4
#define GJ_NAME "avx2"
#define GJ_ACCESSOR gj_kernels_avx2
#include "gj_kernels.inc"
