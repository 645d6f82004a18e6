#include "KNotices.h"

#include "KAscii.h"
#include "Kinterface.h"

#include <allegro.h>

#include <cstdio>

namespace {

constexpr int kTextColour = 15;
constexpr int kLineHeight = 8;

void ToStandardError(const std::string& caption, const std::string& body)
{
    // Names and texts from a world must not steer the terminal.
    const std::string shown = KPrintable(caption) + "\n" + KPrintable(body) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

void OnBackBuffer(BITMAP* back, const std::string& caption, const std::string& body)
{
    textout_ex(back, font, caption.c_str(), 0, 0, kTextColour, 0);
    textout_ex(back, font, body.c_str(), 0, kLineHeight, kTextColour, 0);
    acquire_screen();
    blit(back, screen, 0, 0, 0, 0, back->w, back->h);
    release_screen();
}

}  // namespace

void KInstallRunnerNotices(Kinterface& engine, bool headless)
{
    engine.SetNoticeSink([&engine, headless](KNoticeKind kind, const std::string& caption, const std::string& body) {
        if (headless || gfx_driver == nullptr || screen == nullptr) {
            ToStandardError(caption, body);
        } else if (kind == KNoticeKind::Report && engine.vBackBuffer != nullptr) {
            OnBackBuffer(engine.vBackBuffer, caption, body);
        } else {
            alert(caption.c_str(), body.c_str(), nullptr, "OK", nullptr, 0, 0);
        }
    });
}

KNoticeBurst::KNoticeBurst(Kinterface& engine) : engine_(engine), passOn_(engine.NoticeSink())
{
    engine_.SetNoticeSink([this](KNoticeKind kind, const std::string& caption, const std::string& body) {
        Hold(kind, caption, body);
    });
}

void KNoticeBurst::Hold(KNoticeKind kind, const std::string& caption, const std::string& body)
{
    if (held_.size() < kNoticesShownPerBurst) {
        held_.push_back(Held{kind, caption, body});
    } else {
        ++more_;
    }
}

KNoticeBurst::~KNoticeBurst()
{
    engine_.SetNoticeSink(passOn_);
    if (held_.empty()) return;
    auto show = [this](KNoticeKind kind, const std::string& caption, const std::string& body) {
        if (passOn_) {
            passOn_(kind, caption, body);
        } else {
            ToStandardError(caption, body);
        }
    };
    for (const Held& notice : held_) show(notice.kind, notice.caption, notice.body);
    // The count is shown the way the first notice was: drawn on the game
    // screen when that is where reports go, not as one more box to click.
    if (more_ > 0) show(held_.front().kind, "More reports", KMoreNoticesText(more_));
}

std::string KMoreNoticesText(size_t count)
{
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return "... and " + grouped + " more";
}
