#pragma once
// Message boxes, the folder chooser, the event pump and the cursor of the
// window, for the code below it.

#include "platform/UserInterface.h"

namespace app {

class QtUserInterface : public platform::UserInterface {
public:
    int messageBox(std::string_view text, std::string_view caption, unsigned flags) override;
    void showMessage(std::string_view text) override;
    void showError(std::string_view text) override;
    /// Lets the user type a folder that does not exist yet; creates nothing.
    std::optional<std::string> chooseFolder(std::string_view caption,
                                            std::string_view startFolder) override;
    void processEvents() override;
    void setBusyCursor(bool busy) override;
    void requestQuit() override;
};

} // namespace app
