#include "graphics/ui_text.h"

#include <stdio.h>

#include "graphics/draw_gui.h"
#include "graphics/graphic.h"
#include "platform/osa.h"

namespace {

// The recorder's last text (UTF-8, as the card's names are); guarded by grpx_lock.
char g_uiText[128];

// Draws the kept text; grpx_lock is held and the plane is open. The renderer takes KS X 1001.
void drawUiText()
{
    char ks[sizeof(g_uiText)];
    draw_utf8_to_ks(g_uiText, ks, sizeof(ks));
    uint32_t *plane = grpx_obj.fbAddr;
    draw_fill_rect(plane, DrawRect{32, 24, 16, 100}, GRPX_KEY_COLOR);
    draw_txt(plane, ks, 32, 24, GRPX_TEXT_COLOR, GRPX_KEY_COLOR);
}

} // namespace

int ui_draw_txt(const char *text)
{
    OSA_mutexLock(&grpx_lock);
    // Kept, so that a name made before the plane opens is shown once it does.
    snprintf(g_uiText, sizeof(g_uiText), "%s", text);
    const int drawn = grpx_init ? 0 : -1;
    if (grpx_init)
        drawUiText();
    OSA_mutexUnlock(&grpx_lock);
    return drawn;
}

void ui_redraw_txt(void)
{
    OSA_mutexLock(&grpx_lock);
    if (grpx_init && g_uiText[0] != '\0')
        drawUiText();
    OSA_mutexUnlock(&grpx_lock);
}

void ui_forget_txt(void)
{
    OSA_mutexLock(&grpx_lock);
    g_uiText[0] = '\0';
    OSA_mutexUnlock(&grpx_lock);
}
