#include "editor/document_format.h"
