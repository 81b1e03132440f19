// The host entry-point table and its binding.
#include "THZTPluginInterface.h"
