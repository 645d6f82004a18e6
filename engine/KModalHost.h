#pragma once
// The modal host: what loops that run inside a tick (the scroll window, the
// in-game menu, blocking fades) need from the program that shows the game.
// The engine declares it; the runner's shell fills it in while it plays.
// Without a host (tests, the editor) every pass answers "give up", so a
// modal loop never spins on a program that cannot feed it.

#include "Kfont.h"

#include <cstdint>

// The answer to one modal pass.
enum class KModalPass : uint8_t {
    Ran = 0,      // inputs polled, the world drawn and shown: go on
    NoHost = 1,   // nobody shows the game: give up at once
    Closing = 2,  // the game is ending (window closed, headless run over): give up
};

// Function table with its context; a null function is a missing service.
struct KModalHost {
    void* context = nullptr;
    // Draws the world, shows it, waits for the next frame (headless: takes
    // the next tick of the input replay, without a game tick) and polls the
    // inputs.
    KModalPass (*runPass)(void* context) = nullptr;
    // The next character typed, or -1 when none is waiting.
    int (*nextTypedChar)(void* context) = nullptr;
    // Puts a palette on the display.
    void (*showPalette)(void* context, const KPalette& palette) = nullptr;
    // True once the game is ending.
    bool (*closeRequested)(void* context) = nullptr;
};
