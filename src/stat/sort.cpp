// sort
#include "../stat.h"
