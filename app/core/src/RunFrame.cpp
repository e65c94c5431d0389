#include "RunFrame.h"

#include "db/DbQuery.h"
#include "platform/UserInterface.h"

#include <exception>
#include <optional>
#include <string>

namespace app {
namespace {

/// Nothing for the silent abort, the message for every other error.
std::optional<std::string> messageOf(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const db::EAbort &) {
        return std::nullopt;
    } catch (const std::exception &other) {
        return std::string(other.what());
    } catch (...) {
        return std::string("Unknown error");
    }
}

} // namespace

bool runFramed(const std::function<void()> &begin, const std::function<void()> &work,
               std::initializer_list<std::function<void()>> end)
{
    std::exception_ptr first;
    try {
        begin();
        work();
    } catch (...) {
        first = std::current_exception();
    }
    for (const auto &step : end) {
        try {
            step();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (!first)
        return true;
    if (std::optional<std::string> message = messageOf(first))
        platform::userInterface().showError(*message);
    return false;
}

} // namespace app
