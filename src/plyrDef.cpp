// The human's defense.
#include "qir.h"

void PlyrAssignDef() {}
