#pragma once
// What the program asks of the user interface. The window and the console
// front end implement it; code below them sees only this interface, through
// the process-wide instance.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Button sets and answers of a message box, with the Windows values that
/// the archive reader's message hooks pass on unchanged.
namespace mb {
constexpr unsigned Ok = 0x0, OkCancel = 0x1, YesNoCancel = 0x3, YesNo = 0x4;
constexpr unsigned IconError = 0x10, IconQuestion = 0x20, IconWarning = 0x30,
                   IconInformation = 0x40;
constexpr int IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7;
} // namespace mb

/// The answer a box gets when nobody can click: its first button.
int firstButtonAnswer(unsigned flags);

class UserInterface {
public:
    virtual ~UserInterface() = default;

    /// Shows a message box and waits for the answer (one of mb::Id...).
    virtual int messageBox(std::string_view text, std::string_view caption, unsigned flags) = 0;
    /// A message with an OK button; waits until it is closed.
    virtual void showMessage(std::string_view text) = 0;
    virtual void showError(std::string_view text) = 0;
    /// Nothing when the user cancels.
    virtual std::optional<std::string> chooseFolder(std::string_view caption,
                                                    std::string_view startFolder) = 0;
    /// Lets pending window events run (the Stop button among them).
    virtual void processEvents() = 0;
    virtual void setBusyCursor(bool busy) = 0;
    /// Asks the event loop to end once control returns to it.
    virtual void requestQuit() = 0;
};

/// The instance in force; a console implementation until one is installed.
UserInterface &userInterface();

/// Installs an implementation for its lifetime, then restores the previous.
class ScopedUserInterface {
public:
    explicit ScopedUserInterface(UserInterface &ui);
    ~ScopedUserInterface();
    ScopedUserInterface(const ScopedUserInterface &) = delete;
    ScopedUserInterface &operator=(const ScopedUserInterface &) = delete;

private:
    UserInterface *m_previous;
};

/// Writes messages to standard error in UTF-8, answers every box with its
/// first button and has no events to process.
class ConsoleUserInterface : public UserInterface {
public:
    int messageBox(std::string_view text, std::string_view caption, unsigned flags) override;
    void showMessage(std::string_view text) override;
    void showError(std::string_view text) override;
    std::optional<std::string> chooseFolder(std::string_view caption,
                                            std::string_view startFolder) override;
    void processEvents() override {}
    void setBusyCursor(bool) override {}
    /// The console run ends on its own when start-up reports failure.
    void requestQuit() override {}
};

} // namespace platform
