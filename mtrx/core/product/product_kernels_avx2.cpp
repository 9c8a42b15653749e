// The matrix product's blocked kernel for the AVX2 instruction set.
#define PK_NS isa_avx2
#define PK_VW 4
#define PK_MR 4
#define PK_ACCESSOR product_kernels_avx2
#include "product_kernels.inc"
