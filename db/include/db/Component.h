#pragma once
// The smallest component model the database layer needs: every component has
// a name and an owner, so that error messages can name the component whose
// call failed the way the user knows it (Form1.DbQuery1).

#include <string>

namespace db {

class TComponent {
public:
    /// The owner is not owned: it must outlive the component.
    explicit TComponent(TComponent *owner = nullptr, std::string name = {})
        : m_owner(owner), m_name(std::move(name))
    {
    }
    virtual ~TComponent() = default;
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;

    const std::string &Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    TComponent *Owner() const { return m_owner; }

private:
    TComponent *m_owner;
    std::string m_name;
};

/// The component's name preceded by its owners' names, outermost first, each
/// followed by "."; owners without a name are skipped. Empty for no component.
std::string FullComponentName(const TComponent *component);

} // namespace db
