#pragma once

#include "ProgramMotion.h"

#include <QByteArray>

#include <array>
#include <cstdint>

// One listening program of the catalogue. Texts are kept as the file's bytes.
struct CBeatProgram
{
    QByteArray m_strName;
    QByteArray m_strDescription;
    std::int32_t m_nBaseHz = 0; // left ear
    std::int32_t m_nBeatHz = 0; // the right ear hears base + beat
    ProgramMotion m_motion;     // from the "key=value;" fields after the fourth ";"
};

constexpr int kMaxPrograms = 100;
using CBeatProgramTable = std::array<CBeatProgram, kMaxPrograms>;

// Reads "name;description;base;beat;" lines into `programs` and returns how many were read.
// The catalogue ends at the first empty line, at the end of the text, or after 100 programs.
// A field whose ";" is missing is empty, and so is every field after it on that line. A line
// with all four fields may go on with the "key=value;" fields of ProgramMotion.
int ParseCatalogue(const QByteArray &text, CBeatProgramTable &programs);

// A decimal integer as a frequency field holds it: leading white space, an optional sign, then
// digits up to the first other character; no digits give 0. Values beyond 32 bits saturate.
std::int32_t ParseCatalogueNumber(const QByteArray &field);
