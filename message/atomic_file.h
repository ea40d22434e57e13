#pragma once

#include "system_error.h"

#include "expected.h"
#include <string>
#include <string_view>

namespace kulverant {

/// Replaces the file at path with bytes in one step. Other programs polling the
/// file see the old content or the whole new one, never a part of either.
/// The bytes go to a temporary file beside the target (its name never ends in
/// ".txt"), are made durable and then renamed over the target; a symbolic link
/// at the target is replaced, not followed. A file its owner made read-only is
/// not replaced. On failure the old file stays as it was and the temporary file
/// is removed. Where the file cannot be replaced but may be written (a folder
/// the user may not write to, or on Windows a reader that holds the file open
/// and shares writing), the file itself is rewritten instead. On Windows, path
/// holds no wildcard ('*', '?'), and a short (8.3) name of a file with another
/// long name is refused with error 52.
Expected<void, SystemError> replaceFile(const std::string& path, std::string_view bytes);

} // namespace kulverant
