#pragma once

class QWidget;

// What a window asks of the X11 window manager beyond what Qt asks for it. Elsewhere (offscreen,
// Wayland) these change nothing.
namespace WindowFrame {

// For a window whose layout fixes its size: its frame offers neither resizing nor maximising
// (Qt always offers resizing in the Motif hints, which some window managers follow over the
// size hints), and a maximised or full-screen state that a window manager imposes anyway is
// undone at once, back to the size and place the window had. Call before the window is first
// shown.
void keepFixed(QWidget *window);

// For a window that belongs to another one (a dialog, a message box): it stays out of the task
// bar, where its owner's entry stands for both. A window without a parent keeps its own entry,
// since nothing else would lead back to it. Call before the window is first shown.
void keepOffTaskBar(QWidget *window);

// False when the X server has the window unmapped although no window manager keeps it iconic:
// a map that a window manager took over and then died with, or one nobody will answer. True
// where there is no X11 window to ask about.
bool isMappedOrIconic(QWidget *window);

} // namespace WindowFrame
