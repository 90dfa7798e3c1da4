#pragma once

#include "FlashSettings.h"

#include <QColor>
#include <QFont>

// The flash font as the overlay draws it: always the face "Arial", sized in pixels by the
// stored height, with the stored weight and style.
QFont flashFontFromFields(const FlashFontFields &fields);

// The stored fields for a font the user picked. Fields the font leaves as `previous` gave
// them keep their stored values, so an unchanged font is stored unchanged.
FlashFontFields flashFontFieldsFromFont(const QFont &font, const FlashFontFields &previous);

// The flash colour as stored, 0x00BBGGRR, and back. The stored byte above blue is not a colour.
QColor flashColorFromStored(quint32 stored);
quint32 storedFlashColor(const QColor &color);
