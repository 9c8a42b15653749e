// The Gauss-Jordan inner loops for the portable instruction set.
#define GJ_NS isa_portable
#define GJ_VW 2
#define GJ_NAME "portable"
#define GJ_ACCESSOR gj_kernels_portable
#include "gj_kernels.inc"
