// Sample tests, correlation, conversions and running sums.
#include "../stat.h"
