#pragma once

// The lab board's headers, read with Qt's `signals` keyword set aside: the
// board's recorder has signals of its own (the pins it records). Include this
// rather than the lab headers themselves wherever Qt is included first.
#pragma push_macro("signals")
#undef signals
#include "lab/board_description.h"
#include "lab/board_file.h"
#include "lab/board_view.h"
#include "lab/lab_board.h"
#include "lab/lcd.h"
#include "lab/recorder.h"
#include "lab/shipped_boards.h"
#pragma pop_macro("signals")
