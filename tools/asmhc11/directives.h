// The directives' handlers, one for each kind of the table in syntax.h.
#pragma once

#include "asmhc11/syntax.h"

namespace asmhc11 {

class Assembly;

using DirectiveHandler = void (*)(Assembly&, const SourceLine&);

DirectiveHandler handlerOf(DirectiveKind kind);

} // namespace asmhc11
