// fft
#include "../stat.h"
