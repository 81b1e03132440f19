// random
#include "../stat.h"
