#include "load_sequence.h"

#include "keyed_path.h"
#include "message_text.h"

namespace kulverant {

Expected<void, RunError> runLoadSequence(std::string_view argumentText,
                                              std::string_view messageDirectory,
                                              TextArea& textArea) {
    std::optional<std::string_view> word = firstWord(argumentText);
    if (!word)
        return Unexpected(RunError{ErrorNumber::SubscriptOutOfRange, {},
                                   "Keine Meldung angegeben. Die Dateien bleiben unverändert."});

    textArea.setText(displayText(argumentText));
    if (auto saved = textArea.saveFile(fixedMessagePath(messageDirectory)); !saved)
        return saved;

    auto keyedPath = keyedMessagePath(messageDirectory, *word);
    if (!keyedPath)
        return Unexpected(std::move(keyedPath.error()));
    return textArea.saveFile(*keyedPath);
}

} // namespace kulverant
