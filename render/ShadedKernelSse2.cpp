#define TARSEL_KERNEL RowsSse2
#define TARSEL_KERNEL_ISA 1
#include "render/ShadedKernel.inc"
