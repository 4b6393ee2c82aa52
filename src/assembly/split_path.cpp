#include "assembly/split_path.h"
