#pragma once

#include "run_error.h"

#include "expected.h"
#include <string>

namespace kulverant {

/// The content of the window's text area, and the one writer of the message
/// files: a file saved from it holds exactly what the text area holds.
class TextArea {
public:
    /// Replaces the whole content.
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }

    /// Writes the whole content to path as plain text, the only format the
    /// program writes: the files are read by programs that expect the bare
    /// message. Any file there is replaced in one step.
    Expected<void, RunError> saveFile(const std::string& path) const;

private:
    std::string text_;
};

} // namespace kulverant
