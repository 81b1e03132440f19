// Sorting and selection.
#include "../stat.h"
