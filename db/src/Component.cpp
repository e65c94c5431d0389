#include "db/Component.h"

namespace db {

std::string FullComponentName(const TComponent *component)
{
    if (component == nullptr)
        return {};
    std::string result = component->Name();
    for (const TComponent *owner = component->Owner(); owner != nullptr; owner = owner->Owner()) {
        if (!owner->Name().empty())
            result = owner->Name() + "." + result;
    }
    return result;
}

} // namespace db
