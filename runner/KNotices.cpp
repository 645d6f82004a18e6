#include "KNotices.h"

#include "Kinterface.h"

#include <allegro.h>

#include <cstdio>

namespace {

constexpr int kTextColour = 15;
constexpr int kLineHeight = 8;

void ToStandardError(const std::string& caption, const std::string& body)
{
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), body.c_str());
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
