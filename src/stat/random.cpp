// Random deviates.
#include "../stat.h"
