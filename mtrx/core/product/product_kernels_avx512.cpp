// The matrix product's blocked kernel for the AVX-512 instruction set.
#define PK_NS isa_avx512
#define PK_VW 8
#define PK_MR 8
#define PK_ACCESSOR product_kernels_avx512
#include "product_kernels.inc"
