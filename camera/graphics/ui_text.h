// The recorder's text on the graphics plane: the name of the file it writes, kept so that a name
// given before the plane opens is shown once it does.
#pragma once

// Shows the recorder's text (the current file name, UTF-8) on the plane and keeps it; -1 when the
// plane is not open, in which case ui_redraw_txt shows it once it is.
int ui_draw_txt(const char *text);
// Draws the kept text on a plane just opened; nothing when there is none.
void ui_redraw_txt(void);
// Forgets the kept text (a new camera process names its own files).
void ui_forget_txt(void);
