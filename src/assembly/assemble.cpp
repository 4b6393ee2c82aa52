#include "assembly/assemble.h"
