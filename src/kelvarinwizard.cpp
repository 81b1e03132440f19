// The plug-in object, its descriptor exports and factory.
#include "THZTPluginInterface.h"
