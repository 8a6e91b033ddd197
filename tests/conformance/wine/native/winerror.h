/* Native build: the layer and the tests' scaffolding stand in for this Windows header
 * (see scaffold.h). */
#include "scaffold.h"
