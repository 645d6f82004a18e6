#include "KPlayState.h"

#include "KVariables.h"

#include <algorithm>

void KPlayState::ShowMessage(int32_t owner, std::string_view text)
{
    for (KMessage& message : messages) {
        if (message.owner == owner) {
            message.text.assign(text);
            message.timer = kMessageLife;
            return;
        }
    }
    if (text == kGameOverText) {
        const bool shown = std::any_of(messages.begin(), messages.end(),
                                       [](const KMessage& message) { return message.text == kGameOverText; });
        if (shown) return;
    }
    if (messages.size() >= kMaxMessages) {
        const auto oldest = std::find_if(messages.begin(), messages.end(),
                                         [](const KMessage& message) { return message.text != kGameOverText; });
        if (oldest != messages.end()) messages.erase(oldest);
    }
    messages.push_back(KMessage{std::string(text), owner, kMessageLife});
}

bool KPlayState::Watch(KWatch watch)
{
    const bool watched = std::any_of(watches.begin(), watches.end(),
                                     [&watch](const KWatch& existing) { return existing.name == watch.name; });
    if (watched || watches.size() >= kMaxWatches) return false;
    watches.push_back(std::move(watch));
    return true;
}

const KMessage* KPlayState::MessageOf(int32_t owner) const
{
    for (const KMessage& message : messages) {
        if (message.owner == owner) return &message;
    }
    return nullptr;
}

void KPlayState::RunDownTimers()
{
    // The game-over line stops at 0 rather than counting on below it, so a
    // long game never overflows its timer.
    for (KMessage& message : messages) {
        if (message.timer > 0) --message.timer;
    }
    std::erase_if(messages, [](const KMessage& message) { return message.timer == 0 && message.text != kGameOverText; });
}

std::string KWatchLine(const KWatch& watch, KVariables& variables)
{
    KVariable& variable = variables.FindOrCreate(watch.name);
    // Read without converting: showing a variable must not change its kind.
    std::string value;
    if (watch.isString != 0) {
        value = KVariables::StringOf(variable);
    } else {
        value = std::to_string(variable.kind == 1 ? KTextToInt(variable.strValue) : variable.intValue);
    }
    return watch.name + ": " + value;
}

void KPlayState::CheckWatches(KVariables& variables)
{
    for (const KWatch& watch : watches) {
        if (variables.Changed(watch.name) != 0) ShowMessage(watch.key, KWatchLine(watch, variables));
    }
}

void KPlayState::Reset()
{
    messages.clear();
    inputEnabled = 1;
    watches = {KWatch{"health", 0, 0}, KWatch{"ammo", 0, -1}};
    pendingTicks = 0;
    menuAsked = false;
    fadeTick = -1;
    fadeFrames = 0;
}
