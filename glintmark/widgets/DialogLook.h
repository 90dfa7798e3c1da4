#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// Glintmark's light-blue dialog look, shared by the main window, the library editor and its
// name prompt: a light-blue background behind the dialog and its static texts and frames, and
// bold Arial for frame titles and labels. Edit boxes, lists and buttons keep their own colours.
namespace DialogLook {

// Red 153, green 204, blue 255.
inline constexpr QRgb kBackground = 0xFF99CCFF;
inline constexpr int kLabelPixelSize = 14;
inline constexpr char kLabelFace[] = "Arial";

QColor background();
QFont labelFont();

// Paints the dialog, and everything on it that shows its background, in the light blue.
void apply(QWidget *dialog);

// Gives a label or a frame's title the bold Arial. A frame's font would otherwise pass on to
// its contents, so the widgets already inside a frame keep the font they had.
void setLabelFont(QWidget *labelOrFrame);

} // namespace DialogLook
