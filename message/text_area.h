#pragma once

#include "run_error.h"

#include "expected.h"
#include <string>

namespace kulverant {

/// How the text area saves its content. Only plain text is ever written: the
/// files are read by other programs that expect the bare message.
enum class SaveFormat { PlainText = 1 };

/// The content of the window's text area, and the one writer of the message
/// files: a file saved from it holds exactly what the text area holds.
class TextArea {
public:
    /// Replaces the whole content.
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }

    /// Writes the whole content to path, replacing any file there in one step.
    Expected<void, RunError> saveFile(const std::string& path, SaveFormat format) const;

private:
    std::string text_;
};

} // namespace kulverant
