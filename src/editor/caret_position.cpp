#include "editor/caret_position.h"
