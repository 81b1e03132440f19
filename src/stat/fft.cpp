// Fourier transforms.
#include "../stat.h"
