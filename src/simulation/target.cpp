#include "simulation/target.h"

// The signals of the targets, made by moc from the header.
