#pragma once
// How the runner shows what the engine's reporter says.

#include "Kinterface.h"

#include <cstddef>
#include <string>
#include <vector>

class Kinterface;

// Before there is a back buffer a report is a message box (the game
// library's alert while a graphics mode is set, else standard error); then
// it is drawn at the top of the back buffer and shown. Headless, nothing
// ever waits for a person: the two lines go to standard error.
void KInstallRunnerNotices(Kinterface& engine, bool headless);

// Notices shown one by one at the end of a burst; the rest are counted.
inline constexpr size_t kNoticesShownPerBurst = 5;

// While one lives, the engine's reports and message boxes are held back.
// When it ends, the first few are passed on as they came and the rest as
// one notice that counts them ("... and 4,995 more"), so a world with
// thousands of broken records or scripts shows a handful of boxes and draws
// its errors once, not thousands of times.
class KNoticeBurst {
public:
    explicit KNoticeBurst(Kinterface& engine);
    ~KNoticeBurst();
    KNoticeBurst(const KNoticeBurst&) = delete;
    KNoticeBurst& operator=(const KNoticeBurst&) = delete;

private:
    struct Held {
        KNoticeKind kind;
        std::string caption;
        std::string body;
    };
    void Hold(KNoticeKind kind, const std::string& caption, const std::string& body);

    Kinterface& engine_;
    KNoticeSink passOn_;
    std::vector<Held> held_;
    size_t more_ = 0;
};

// "... and 4,995 more": the notice that stands for the ones not shown.
std::string KMoreNoticesText(size_t count);
