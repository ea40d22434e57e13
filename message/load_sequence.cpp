#include "load_sequence.h"

#include "message_text.h"

namespace kulverant {

Expected<void, RunError> runLoadSequence(std::string_view argumentText,
                                              std::string_view messageDirectory,
                                              TextArea& textArea,
                                              PathStyle style) {
    std::optional<std::string_view> word = firstWord(argumentText);
    if (!word)
        return Unexpected(RunError{ErrorNumber::SubscriptOutOfRange, {},
                                   "Keine Meldung angegeben. Die Dateien bleiben unverändert."});

    textArea.setText(displayText(argumentText));
    if (auto saved = textArea.saveFile(fixedMessagePath(messageDirectory), SaveFormat::PlainText); !saved)
        return saved;

    auto keyedPath = keyedMessagePath(messageDirectory, *word, style);
    if (!keyedPath)
        return Unexpected(std::move(keyedPath.error()));
    return textArea.saveFile(*keyedPath, SaveFormat::PlainText);
}

} // namespace kulverant
