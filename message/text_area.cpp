#include "text_area.h"

#include "atomic_file.h"
#include "plain_text.h"

namespace kulverant {

Expected<void, RunError> TextArea::saveFile(const std::string& path, SaveFormat) const {
    auto saved = replaceFile(path, plainTextBytes(text_));
    if (!saved)
        return Unexpected(RunError{saved.error().number, path, std::move(saved.error().reason)});
    return {};
}

} // namespace kulverant
