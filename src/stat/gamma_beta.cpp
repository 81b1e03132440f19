// Gamma family and incomplete beta functions.
#include "../stat.h"
