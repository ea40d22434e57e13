#include "text_area.h"

#include "atomic_file.h"
#include "plain_text.h"

namespace kulverant {

Expected<void, RunError> TextArea::saveFile(const std::string& path) const {
    auto bytes = plainTextBytes(text_);
    auto saved = bytes ? replaceFile(path, *bytes) : Unexpected(std::move(bytes.error()));
    if (!saved)
        return Unexpected(RunError{saved.error().number, path, std::move(saved.error().reason)});
    return {};
}

} // namespace kulverant
