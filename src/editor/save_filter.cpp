#include "editor/save_filter.h"
