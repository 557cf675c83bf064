// The computer's defense.
#include "qir.h"

void SimpleAIAssignDef() {}
void SmartAIAssignDef() {}
