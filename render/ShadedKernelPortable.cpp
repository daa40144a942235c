#define TARSEL_KERNEL RowsPortable
#define TARSEL_KERNEL_ISA 0
#include "render/ShadedKernel.inc"
