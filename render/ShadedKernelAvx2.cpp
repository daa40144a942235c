#define TARSEL_KERNEL RowsAvx2
#define TARSEL_KERNEL_ISA 2
#include "render/ShadedKernel.inc"
