// The matrix product's blocked kernel for the portable (SSE2) instruction set.
#define PK_NS isa_portable
#define PK_VW 2
#define PK_MR 4
#define PK_ACCESSOR product_kernels_portable
#include "product_kernels.inc"
