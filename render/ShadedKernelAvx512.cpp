#define TARSEL_KERNEL RowsAvx512
#define TARSEL_KERNEL_ISA 3
#include "render/ShadedKernel.inc"
