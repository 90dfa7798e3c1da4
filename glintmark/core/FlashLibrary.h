#pragma once

#include "FileError.h"
#include "FlashSettings.h"

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// Glintmark's persistent state and its three files beside each other in one folder:
//   "List.txt"   the library, one line per category: name;first;second;...;last;
//                lines separated by CR LF, no line break after the last one.
//   "check.txt"  the ticks, 10,000 bytes row-major; only the value 1 counts as ticked.
//   "font.dat"   the flash font, colour, location and list choices, 44 bytes little-endian.
// Texts are bytes and are written back exactly as they were read.
class CFlashLibrary
{
public:
    static constexpr int kRows = 100;
    static constexpr int kSlots = 100; // slot 0 the category name, 1 to 99 its affirmations
    static constexpr qsizetype kCheckFileSize = qsizetype(kRows) * kSlots;
    static constexpr qsizetype kFontFileSize = 44;

    static constexpr char kListFileName[] = "List.txt";
    static constexpr char kCheckFileName[] = "check.txt";
    static constexpr char kFontFileName[] = "font.dat";
    static constexpr char kBackupSuffix[] = ".bak";

    // The first empty name ends the library and the first empty slot after slot 0 ends a
    // category; nothing past either marker is ever stored.
    using LibraryTable = std::array<std::array<QByteArray, kSlots>, kRows>;
    using TickTable = std::array<std::array<quint8, kSlots>, kRows>;

    // What "List.txt" held that the tables did not take in.
    enum class LibraryLoss : unsigned {
        Unreadable = 0x01,
        TooManyCategories = 0x02,
        TooManyAffirmations = 0x04,
        TextAfterEmptyLine = 0x08,
        EntriesAfterEmptyEntry = 0x10, // an empty affirmation or an empty category name
    };
    Q_DECLARE_FLAGS(LibraryLosses, LibraryLoss)

    // Shown once at start-up when something was not taken in; %1 lists what.
    static constexpr char kLibraryNoticeText[] =
        "Not all of your affirmation library could be loaded from List.txt: %1.\n\n"
        "Only what was loaded is shown and will be saved. Nothing is lost: before Glintmark "
        "saves your library, it keeps the original files beside them, the library as "
        "List.txt.bak and its ticks as check.txt.bak.";

    CFlashLibrary() = default;

    // The folder that holds the three files; empty means the current directory.
    void SetFolder(const QString &folder);
    QString folder() const { return m_strFolder; }
    QString listBackupPath() const { return m_strListPath + QLatin1String(kBackupSuffix); }
    QString checkBackupPath() const { return m_strCheckPath + QLatin1String(kBackupSuffix); }

    // Start-up: "font.dat", then "check.txt", then "List.txt". Each file is read on its own, so
    // one that cannot be read leaves only its own part at the defaults. Returns the failures in
    // that order.
    QList<FileError> ReadAllFiles();
    // Exit: "List.txt", "check.txt", then "font.dat". Stops at the first failure, so the caller
    // can stay open and let the user try again.
    std::optional<FileError> WriteAllFiles();

    // Empties both tables, reads the ticks from "check.txt" (missing bytes read 0) and the
    // library from "List.txt". Returns the failures, "check.txt" first.
    QList<FileError> ReadListFiles();
    // Writes "List.txt" from m_list and "check.txt" from m_check (the caller refreshes m_check
    // from the ticks on screen first, which drops the ticks of what was not loaded). Missing
    // files are created; bytes of "check.txt" past the 10,000th are kept. Before the first save
    // after a "List.txt" whose content was not all taken in, both files are kept as they were
    // read, as "List.txt.bak" and "check.txt.bak"; put back together, they give the library
    // and its ticks again.
    std::optional<FileError> WriteListFiles();

    // Fields missing from a short file take their defaults. A location that is no location
    // button reads as LocationButton::None, a list index outside its list as -1.
    std::optional<FileError> ReadFontFile();
    // Writes the 44-byte record; a missing file is created, bytes past the 44th are kept.
    std::optional<FileError> WriteFontFile();

    LibraryLosses libraryLosses() const { return m_listLosses; }
    // The start-up notice for libraryLosses(), or an empty text when nothing was lost.
    QString libraryNotice() const;
    bool backupPending() const { return m_backupPending; }

    bool isTicked(int row, int slot) const { return m_check[row][slot] == 1; }

    LibraryTable m_list{};
    TickTable m_check{};
    FlashSettings m_settings;

private:
    QString m_strFolder;
    QString m_strListPath{QLatin1String(kListFileName)};
    QString m_strCheckPath{QLatin1String(kCheckFileName)};
    QString m_strFontPath{QLatin1String(kFontFileName)};
    LibraryLosses m_listLosses;
    bool m_backupPending = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CFlashLibrary::LibraryLosses)
