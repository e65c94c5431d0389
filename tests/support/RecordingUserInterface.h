#pragma once
// A user interface double that answers at once and records what was asked.
// Install it with platform::ScopedUserInterface.

#include "platform/UserInterface.h"

#include <string>
#include <vector>

namespace testing_support {

class RecordingUserInterface : public platform::UserInterface {
public:
    struct Box {
        std::string text, caption;
        unsigned flags;
    };

    int messageBox(std::string_view text, std::string_view caption, unsigned flags) override
    {
        boxes.push_back({std::string(text), std::string(caption), flags});
        return boxAnswer;
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void showError(std::string_view text) override { errors.emplace_back(text); }
    std::optional<std::string> chooseFolder(std::string_view, std::string_view) override
    {
        return chosenFolder;
    }
    void processEvents() override { ++eventPumps; }
    void setBusyCursor(bool busy) override { busyChanges.push_back(busy); }
    void requestQuit() override { quitRequested = true; }

    int boxAnswer = platform::mb::IdOk;
    std::optional<std::string> chosenFolder;

    std::vector<Box> boxes;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<bool> busyChanges;
    int eventPumps = 0;
    bool quitRequested = false;
};

} // namespace testing_support
