#include "assembly/launcher.h"
