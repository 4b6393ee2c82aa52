// The directives: a table of names, each with one small handler.
#pragma once

#include <string_view>

namespace asmhc11 {

class Assembly;
struct SourceLine;

struct Directive {
    std::string_view name;
    void (*handle)(Assembly&, const SourceLine&);
    bool ownsLabel = false;     // the handler gives the label its value (EQU, ORG)
    bool conditional = false;   // also read where a false condition skips lines
    bool hashForm = false;      // may be written with a leading '#' (#IF, #INCLUDE)
    bool firstPassOnly = false; // the first pass alone reads it (conditions, includes)
};

// The directive of an operation field in any case ("#IF" too), or nullptr.
const Directive* findDirective(std::string_view operation);

} // namespace asmhc11
