#pragma once

#include "run_error.h"
#include "text_area.h"

#include "expected.h"
#include <string_view>

namespace kulverant {

/// The program's whole work on one message: puts "ZIZ: " and the argument text
/// into the text area, then has it save itself to the fixed message file and to
/// the keyed message file named by the first word, in that order. Stops at the
/// first failing step; what earlier steps wrote stays. An empty argument text is
/// refused before anything is written, so the last real message is kept.
Expected<void, RunError> runLoadSequence(std::string_view argumentText,
                                              std::string_view messageDirectory,
                                              TextArea& textArea);

} // namespace kulverant
