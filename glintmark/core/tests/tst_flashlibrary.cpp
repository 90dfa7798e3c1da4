#include "DataFolder.h"
#include "FlashLibrary.h"
#include "FontRecords.h"
#include "LibraryTables.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/resource.h>

Q_DECLARE_METATYPE(FlashSettings)
using Loss = CFlashLibrary::LibraryLoss;
using Losses = CFlashLibrary::LibraryLosses;

namespace {

// A folder of its own for every test, with the three files written as given.
class Folder
{
public:
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const QByteArray &bytes) const { QVERIFY(writeWholeFile(file(name), bytes)); }
    QByteArray read(const QString &name) const { return readWholeFile(file(name)); }
    bool exists(const QString &name) const { return QFileInfo::exists(file(name)); }
    QStringList entries() const { return QDir(path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name); }
    // Replaces `name` with its backup `name`.bak, as a user restoring the backups would.
    bool putBackBackup(const QString &name) const
    {
        return QFile::remove(file(name)) && QDir().rename(file(name + ".bak"), file(name));
    }

    std::unique_ptr<CFlashLibrary> library() const
    {
        auto library = std::make_unique<CFlashLibrary>();
        library->SetFolder(path());
        return library;
    }

private:
    QTemporaryDir m_dir;
};

QByteArray categoryLine(const QByteArray &name, int affirmations)
{
    QByteArray line = name + ';';
    for (int i = 1; i <= affirmations; ++i)
        line += name + QByteArray::number(i) + ';';
    return line;
}

QByteArray manyCategories(int count)
{
    QByteArrayList lines;
    for (int i = 0; i < count; ++i)
        lines.append("C" + QByteArray::number(i) + ";x;");
    return lines.join("\r\n");
}

Rows manyCategoryRows(int count)
{
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.append({"C" + QByteArray::number(i), "x"});
    return rows;
}

// Positions 100 * row + slot of the ticked entries.
QList<int> tickedPositions(const CFlashLibrary::TickTable &ticks)
{
    QList<int> positions;
    for (int r = 0; r < CFlashLibrary::kRows; ++r) {
        for (int s = 0; s < CFlashLibrary::kSlots; ++s) {
            if (ticks[r][s] == 1)
                positions.append(100 * r + s);
        }
    }
    return positions;
}

// The ticks that leaving the program stores: the main window takes them from its tree, which
// holds only the entries that were loaded.
void keepTicksOfLoadedEntries(CFlashLibrary &library)
{
    CFlashLibrary::TickTable onScreen{};
    for (int r = 0; r < CFlashLibrary::kRows && !library.m_list[r][0].isEmpty(); ++r) {
        for (int s = 0; s < CFlashLibrary::kSlots && (s == 0 || !library.m_list[r][s].isEmpty()); ++s)
            onScreen[r][s] = library.isTicked(r, s) ? 1 : 0;
    }
    library.m_check = onScreen;
}

// Writes to any file of this process stop at `bytes`, as on a full disk; the write that
// crosses the limit fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, m_previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

class FlashLibraryTest : public QObject
{
    Q_OBJECT

private slots:
    // Files the program writes itself come back byte for byte.
    void listWrittenBackUnchanged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("two categories, one empty")
            << QByteArray("Health;I am calm;I sleep well;\r\nWork;")
            << Rows{{"Health", "I am calm", "I sleep well"}, {"Work"}};
        QTest::newRow("empty library is 0 bytes") << QByteArray() << Rows{};
        QTest::newRow("blanks at the ends of fields")
            << QByteArray("  Calm ; I breathe slowly ;\r\n Sleep;") << Rows{{"  Calm ", " I breathe slowly "}, {" Sleep"}};
        QTest::newRow("lone CR stays in the text") << QByteArray("Calm;one\rtwo;\r\nB\r;") << Rows{{"Calm", "one\rtwo"}, {"B\r"}};
        QTest::newRow("8-bit texts kept as bytes")
            << QByteArray("Caf\xe9;\x93Relax\x94;\r\nRuhe;\xc3\x9c" "ber mich;") << Rows{{"Caf\xe9", "\x93Relax\x94"}, {"Ruhe", "\xc3\x9c" "ber mich"}};
        QTest::newRow("99 affirmations, then the next category")
            << categoryLine("A", 99) + "\r\n" + categoryLine("B", 2) << Rows{category("A", 99), category("B", 2)};
        QTest::newRow("100 categories") << manyCategories(100) << manyCategoryRows(100);
    }
    void listWrittenBackUnchanged()
    {
        QFETCH(QByteArray, file);
        QFETCH(Rows, rows);
        Folder folder;
        folder.write("List.txt", file);
        folder.write("check.txt", QByteArray(10000, '\0'));
        auto library = folder.library();

        QCOMPARE(library->ReadListFiles().size(), 0);
        QCOMPARE(rowsOf(library->m_list), rows);
        QCOMPARE(library->libraryLosses(), Losses());
        QVERIFY(library->libraryNotice().isEmpty());

        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt"), file);
        QVERIFY(!folder.exists("List.txt.bak"));
        QVERIFY(!folder.exists("check.txt.bak"));
    }

    // What reading takes from lines the program does not write itself, what the next save
    // writes, and what is reported as not taken in.
    void listReadingRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<int>("losses");
        QTest::newRow("LF alone breaks lines") << QByteArray("A;a;\nB;b;") << Rows{{"A", "a"}, {"B", "b"}}
                                               << QByteArray("A;a;\r\nB;b;") << 0;
        QTest::newRow("line break after the last line") << QByteArray("A;a;\r\n") << Rows{{"A", "a"}} << QByteArray("A;a;") << 0;
        QTest::newRow("text after the last separator is a field")
            << QByteArray("A;a;b\r\nB") << Rows{{"A", "a", "b"}, {"B"}} << QByteArray("A;a;b;\r\nB;") << 0;
        QTest::newRow("empty lines at the end only") << QByteArray("A;a;\r\n\r\n\r\n") << Rows{{"A", "a"}} << QByteArray("A;a;") << 0;
        QTest::newRow("empty line ends the library")
            << QByteArray("A;a;\r\n\r\nB;b;") << Rows{{"A", "a"}} << QByteArray("A;a;") << int(Loss::TextAfterEmptyLine);
        QTest::newRow("adjacent separators end the affirmations")
            << QByteArray("A;a;;b;c;\r\nB;") << Rows{{"A", "a"}, {"B"}} << QByteArray("A;a;\r\nB;")
            << int(Loss::EntriesAfterEmptyEntry);
        QTest::newRow("adjacent separators at the end lose nothing")
            << QByteArray("A;a;;\r\nB;;") << Rows{{"A", "a"}, {"B"}} << QByteArray("A;a;\r\nB;") << 0;
        QTest::newRow("line beginning with a separator ends the library")
            << QByteArray("A;a;\r\n;x;\r\nB;b;") << Rows{{"A", "a"}} << QByteArray("A;a;")
            << int(Loss::EntriesAfterEmptyEntry);
        QTest::newRow("empty name with nothing after it") << QByteArray("A;\r\n;") << Rows{{"A"}} << QByteArray("A;") << 0;
        QTest::newRow("lines after an empty name")
            << QByteArray("A;\r\n;\r\nB;b;") << Rows{{"A"}} << QByteArray("A;") << int(Loss::EntriesAfterEmptyEntry);
        QTest::newRow("more than 99 affirmations")
            << categoryLine("A", 101) + "\r\nB;" << Rows{category("A", 99), {"B"}}
            << categoryLine("A", 99) + "\r\nB;" << int(Loss::TooManyAffirmations);
        QTest::newRow("more than 100 categories")
            << manyCategories(102) << manyCategoryRows(100) << manyCategories(100) << int(Loss::TooManyCategories);
        QTest::newRow("several losses at once")
            << QByteArray("A;a;;b;\r\n\r\nB;") << Rows{{"A", "a"}} << QByteArray("A;a;")
            << int(Loss::EntriesAfterEmptyEntry | Loss::TextAfterEmptyLine);
    }
    void listReadingRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(Rows, rows);
        QFETCH(QByteArray, saved);
        QFETCH(int, losses);
        Folder folder;
        folder.write("List.txt", file);
        QByteArray ticks(10000, '\0');
        ticks[0] = ticks[5000] = 1;
        folder.write("check.txt", ticks);
        auto library = folder.library();

        QCOMPARE(library->ReadListFiles().size(), 0);
        QCOMPARE(rowsOf(library->m_list), rows);
        QCOMPARE(int(library->libraryLosses()), losses);
        QCOMPARE(library->backupPending(), losses != 0);

        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt"), saved);
        QCOMPARE(folder.read("List.txt.bak"), losses != 0 ? file : QByteArray("<missing>"));
        QCOMPARE(folder.read("check.txt.bak"), losses != 0 ? ticks : QByteArray("<missing>"));
    }

    void noticeNamesWhatWasNotTakenIn_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("nothing lost") << QByteArray("A;a;\r\n") << QStringList{};
        QTest::newRow("two causes") << categoryLine("A", 100) + "\r\n\r\nB;"
                                    << QStringList{"a category has more than 99 affirmations",
                                                   "there is text after an empty line"};
        QTest::newRow("too many categories") << manyCategories(101) << QStringList{"more than 100 categories"};
        QTest::newRow("empty name") << QByteArray("A;\r\n;b;") << QStringList{"an empty category name"};
    }
    void noticeNamesWhatWasNotTakenIn()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, phrases);
        Folder folder;
        folder.write("List.txt", file);
        auto library = folder.library();
        library->ReadListFiles();

        const QString notice = library->libraryNotice();
        QCOMPARE(notice.isEmpty(), phrases.isEmpty());
        if (phrases.isEmpty())
            return;
        QVERIFY(notice.contains("List.txt.bak"));
        QVERIFY(notice.contains("check.txt.bak"));
        for (const QString &phrase : phrases)
            QVERIFY2(notice.contains(phrase), qPrintable(notice));
    }

    // The original is kept once, before the first save; later saves leave that copy alone.
    void backupKeptBeforeFirstSaveOnly()
    {
        Folder folder;
        const QByteArray original = categoryLine("A", 3) + "\r\n\r\nLost;x;";
        QByteArray originalTicks(10000, '\0');
        originalTicks[1] = originalTicks[100] = 1;
        folder.write("List.txt", original);
        folder.write("check.txt", originalTicks);
        auto library = folder.library();
        library->ReadListFiles();

        library->m_list[0][1] = "edited";
        library->m_check[1][0] = 0;
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt.bak"), original);
        QCOMPARE(folder.read("check.txt.bak"), originalTicks);
        QCOMPARE(folder.read("List.txt"), QByteArray("A;edited;A2;A3;"));
        QVERIFY(!library->backupPending());

        library->m_list[1][0] = "New";
        library->m_check[0][2] = 1;
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt.bak"), original);
        QCOMPARE(folder.read("check.txt.bak"), originalTicks);
        QCOMPARE(folder.read("List.txt"), QByteArray("A;edited;A2;A3;\r\nNew;"));

        // Earlier backups stay when the library read whole.
        auto next = folder.library();
        next->ReadListFiles();
        QCOMPARE(next->libraryLosses(), Losses());
        next->m_check[0][3] = 1;
        QCOMPARE(next->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt.bak"), original);
        QCOMPARE(folder.read("check.txt.bak"), originalTicks);
    }

    // Leaving the program keeps only the ticks of what was loaded. The two backups, put back,
    // give the library and all its ticks as they were read, those of the lost entries included.
    void backupsGiveBackLibraryAndTicks_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: a List.txt that cannot be read
        QTest::addColumn<QList<int>>("lostTicks");
        QTest::newRow("categories after an empty line")
            << QByteArray("A;a1;a2;\r\nB;b1;\r\n\r\nC;c1;c2;\r\nD;") << QList<int>{200, 202, 300};
        QTest::newRow("affirmations after an empty one")
            << QByteArray("A;a1;;a3;a4;\r\nB;b1;") << QList<int>{3, 4};
        QTest::newRow("categories after an empty name")
            << QByteArray("A;a1;\r\n;x;\r\nB;b1;b2;") << QList<int>{200, 202};
        QTest::newRow("more than 99 affirmations") << categoryLine("A", 120) << QList<int>{};
        QTest::newRow("a List.txt that cannot be read") << QByteArray() << QList<int>{0, 1, 101, 9999};
    }
    void backupsGiveBackLibraryAndTicks()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, lostTicks);
        Folder folder;
        if (file.isEmpty()) {
            QVERIFY(QDir(folder.path()).mkdir("List.txt"));
            folder.write("List.txt/inside", "A;a1;");
        } else {
            folder.write("List.txt", file);
        }
        QByteArray ticks(10000, '\0');
        for (const int at : QList<int>{0, 1, 101} + lostTicks)
            ticks[at] = 1;
        const QByteArray checkFile = ticks + "past the table";
        folder.write("check.txt", checkFile);

        auto library = folder.library();
        library->ReadListFiles();
        QVERIFY(library->backupPending());
        const CFlashLibrary::LibraryTable readList = library->m_list;
        const CFlashLibrary::TickTable readTicks = library->m_check;
        for (const int at : lostTicks)
            QVERIFY(library->isTicked(at / 100, at % 100));

        // A session: an edit, a tick taken away, and leaving stores what is on screen.
        if (!readList[0][0].isEmpty())
            library->m_list[0][0] = "Edited";
        library->m_check[0][1] = 0;
        keepTicksOfLoadedEntries(*library);
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        const QByteArray saved = folder.read("check.txt");
        for (const int at : lostTicks)
            QCOMPARE(int(saved.at(at)), 0);
        QCOMPARE(int(saved.at(1)), 0);

        QVERIFY(folder.putBackBackup("List.txt"));
        QVERIFY(folder.putBackBackup("check.txt"));
        if (file.isEmpty())
            QCOMPARE(folder.read("List.txt/inside"), QByteArray("A;a1;"));
        else
            QCOMPARE(folder.read("List.txt"), file);
        QCOMPARE(folder.read("check.txt"), checkFile);

        auto restored = folder.library();
        restored->ReadListFiles();
        QCOMPARE(restored->libraryLosses(), library->libraryLosses());
        QCOMPARE(rowsOf(restored->m_list), rowsOf(readList));
        QCOMPARE(tickedPositions(restored->m_check), tickedPositions(readTicks));
        QList<int> stored;
        for (int at = 0; at < ticks.size(); ++at) {
            if (ticks.at(at) == 1)
                stored.append(at);
        }
        QCOMPARE(tickedPositions(restored->m_check), stored);
    }

    // A library backup made without a "check.txt" beside it must not meet an older backup of
    // the ticks: that one goes. With a library read whole, backups are left alone.
    void olderTickBackupDroppedWithoutTicks()
    {
        Folder folder;
        const QByteArray original = "A;a;\r\n\r\nB;b;";
        folder.write("List.txt", original);
        folder.write("check.txt.bak", QByteArray(10000, '\x01'));
        auto library = folder.library();
        QCOMPARE(library->ReadListFiles().size(), 1);
        QVERIFY(library->backupPending());
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt.bak"), original);
        QVERIFY(!folder.exists("check.txt.bak"));
        QCOMPARE(folder.read("check.txt"), QByteArray(10000, '\0'));
    }

    // A backup that cannot be made stops the save before either file is replaced, and the
    // next attempt makes both.
    void backupThatCannotBeMadeStopsTheSave_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("List.txt.bak") << "List.txt.bak";
        QTest::newRow("check.txt.bak") << "check.txt.bak";
    }
    void backupThatCannotBeMadeStopsTheSave()
    {
        QFETCH(QString, blocked);
        Folder folder;
        const QByteArray original = "A;a;;b;";
        QByteArray ticks(10000, '\0');
        ticks[2] = 1;
        folder.write("List.txt", original);
        folder.write("check.txt", ticks);
        QVERIFY(QDir(folder.path()).mkdir(blocked));
        folder.write(blocked + "/inside", "x");
        auto library = folder.library();
        library->ReadListFiles();
        keepTicksOfLoadedEntries(*library);

        const auto error = library->WriteListFiles();
        QVERIFY(error);
        QCOMPARE(error->path, folder.file(blocked));
        QCOMPARE(folder.read("List.txt"), original);
        QCOMPARE(folder.read("check.txt"), ticks);
        QVERIFY(library->backupPending());

        QVERIFY(QDir(folder.file(blocked)).removeRecursively());
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt.bak"), original);
        QCOMPARE(folder.read("check.txt.bak"), ticks);
        QCOMPARE(folder.read("List.txt"), QByteArray("A;a;"));
        QCOMPARE(folder.read("check.txt"), QByteArray(10000, '\0'));
    }

    // A "List.txt" that exists but cannot be read is moved aside whole before it is replaced;
    // a missing one has nothing to keep.
    void listThatCouldNotBeRead()
    {
        Folder folder;
        QVERIFY(QDir(folder.path()).mkdir("List.txt"));
        folder.write("List.txt/inside", "kept");
        auto library = folder.library();

        const QList<FileError> errors = library->ReadListFiles();
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors.at(1).errorCode, EISDIR);
        QCOMPARE(errors.at(1).path, folder.file("List.txt"));
        QCOMPARE(library->libraryLosses(), Losses(Loss::Unreadable));
        QVERIFY(library->libraryNotice().contains("could not be read"));

        library->m_list[0][0] = "Fresh";
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt"), QByteArray("Fresh;"));
        QCOMPARE(folder.read("List.txt.bak/inside"), QByteArray("kept"));
        QVERIFY(!folder.exists("check.txt.bak"));
    }

    void missingListIsNoLoss()
    {
        Folder folder;
        auto library = folder.library();
        const QList<FileError> errors = library->ReadListFiles();
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors.at(1).message(), folder.file("List.txt") + " was not found.");
        QCOMPARE(library->libraryLosses(), Losses());
        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QVERIFY(!folder.exists("List.txt.bak"));
        QCOMPARE(folder.read("List.txt"), QByteArray());
    }

    void ticksRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, ticked);
        Folder folder;
        folder.write("check.txt", file);
        folder.write("List.txt", "A;a;");
        auto library = folder.library();
        QCOMPARE(library->ReadListFiles().size(), 0);
        QList<int> found;
        for (int r = 0; r < 100; ++r) {
            for (int s = 0; s < 100; ++s) {
                if (library->isTicked(r, s))
                    found.append(100 * r + s);
            }
        }
        QCOMPARE(found, ticked);
    }
    void ticksRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("ticked");
        QByteArray full(10000, '\0');
        full[0] = 1;
        full[101] = 1;
        full[9999] = 1;
        QTest::newRow("row-major") << full << QList<int>{0, 101, 9999};
        QTest::newRow("short file reads 0 for the rest") << QByteArray("\x01\x00\x01", 3) << QList<int>{0, 2};
        QTest::newRow("only 1 is ticked") << QByteArray("\x02\xff\x01" "1", 4) << QList<int>{2};
        QTest::newRow("bytes past 10,000 are not read") << QByteArray(10000, '\0') + QByteArray(200, '\x01') << QList<int>{};
        QTest::newRow("empty file") << QByteArray() << QList<int>{};
    }

    void ticksWritten_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("exact size") << QByteArray(10000, '\x01') << QByteArray();
        QTest::newRow("short file is filled up") << QByteArray("\x01\x02", 2) << QByteArray();
        QTest::newRow("longer file keeps its extra bytes") << QByteArray(10000, '\0') + "EXTRA" << QByteArray("EXTRA");
    }
    void ticksWritten()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, tail);
        Folder folder;
        folder.write("check.txt", before);
        auto library = folder.library();
        library->m_check[3][7] = 1;
        library->m_check[99][99] = 1;
        library->m_check[0][5] = 2; // not a tick: written as 0

        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QByteArray expected(10000, '\0');
        expected[307] = 1;
        expected[9999] = 1;
        QCOMPARE(folder.read("check.txt"), expected + tail);
    }

    void fontRecordRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<FlashSettings>("settings");
        const FlashSettings defaults;
        QTest::newRow("default record") << kDefaultFontRecord << defaults;

        FlashSettings every;
        every.font = {-24, 11, 900, 450, 400, 1, 1, 1, 238, 3, 2, 4, 0x31};
        every.textColor = 0x00336699;
        every.locationButton = 1028;
        every.intervalIndex = 8;
        every.durationIndex = 3;
        const QByteArray everyRecord = le32(-24) + le32(11) + le32(900) + le32(450) + le32(400)
            + QByteArray("\x01\x01\x01\xee\x03\x02\x04\x31", 8) + le32(0x00336699) + le32(1028) + le32(8) + le32(3);
        QTest::newRow("every field, Bottom") << everyRecord << every;
        QTest::newRow("bytes past 44 are not read") << everyRecord + QByteArray(8, '\x7f') << every;

        FlashSettings head = defaults;
        head.font = every.font;
        QTest::newRow("short record keeps defaults for the rest") << everyRecord.left(30) << head;
        QTest::newRow("empty file gives the defaults") << QByteArray() << defaults;

        FlashSettings none = defaults;
        none.locationButton = 0;
        none.intervalIndex = -1;
        none.durationIndex = -1;
        QTest::newRow("unknown location and indexes outside the lists")
            << kDefaultFontRecord.left(32) + le32(1005) + le32(9) + le32(4) << none;
        QTest::newRow("no selection stored") << kDefaultFontRecord.left(32) + le32(0) + le32(-1) + le32(-1) << none;
    }
    void fontRecordRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(FlashSettings, settings);
        Folder folder;
        folder.write("font.dat", file);
        auto library = folder.library();
        library->m_settings.textColor = 0x123456; // anything but the defaults

        QCOMPARE(library->ReadFontFile(), std::nullopt);
        QVERIFY(library->m_settings == settings);
    }

    void fontRecordWritten_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray custom = le32(-24) + le32(11) + le32(900) + le32(450) + le32(400)
            + QByteArray("\x01\x00\xff\xee\x03\x02\x04\x31", 8) + le32(0x00FF00) + le32(1004) + le32(0) + le32(2);
        QTest::newRow("default record unchanged") << kDefaultFontRecord << kDefaultFontRecord;
        QTest::newRow("every field unchanged") << custom << custom;
        QTest::newRow("extra bytes kept") << custom + "tail" << custom + "tail";
        QTest::newRow("short record completed with defaults") << custom.left(20) << custom.left(20) + kDefaultFontRecord.mid(20);
        QTest::newRow("what cannot be selected is written as none")
            << kDefaultFontRecord.left(32) + le32(7) + le32(12) + le32(-3)
            << kDefaultFontRecord.left(32) + le32(0) + le32(-1) + le32(-1);
    }
    void fontRecordWritten()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        Folder folder;
        folder.write("font.dat", file);
        auto library = folder.library();
        QCOMPARE(library->ReadFontFile(), std::nullopt);
        QCOMPARE(library->WriteFontFile(), std::nullopt);
        QCOMPARE(folder.read("font.dat"), saved);
    }

    void bottomIsStoredAs1028()
    {
        Folder folder;
        auto library = folder.library();
        library->m_settings.locationButton = LocationButton::Bottom;
        QCOMPARE(library->WriteFontFile(), std::nullopt);
        const QByteArray record = folder.read("font.dat");
        QCOMPARE(record.size(), 44);
        QCOMPARE(record.mid(32, 4), QByteArray("\x04\x04\x00\x00", 4));
        QCOMPARE(record.left(32), kDefaultFontRecord.left(32));
    }

    // One file that cannot be read costs only its own part.
    void eachFileReadOnItsOwn_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<bool>("asFolder");
        for (const char *name : {"font.dat", "check.txt", "List.txt"}) {
            QTest::addRow("%s missing", name) << QString(name) << false;
            QTest::addRow("%s unreadable", name) << QString(name) << true;
        }
    }
    void eachFileReadOnItsOwn()
    {
        QFETCH(QString, broken);
        QFETCH(bool, asFolder);
        Folder folder;
        QByteArray ticks(10000, '\0');
        ticks[0] = ticks[1] = 1;
        const QMap<QString, QByteArray> files{{"font.dat", kDefaultFontRecord.left(32) + le32(1002) + le32(3) + le32(0)},
                                              {"check.txt", ticks},
                                              {"List.txt", "A;a;"}};
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            if (it.key() != broken)
                folder.write(it.key(), it.value());
        }
        if (asFolder)
            QVERIFY(QDir(folder.path()).mkdir(broken));
        auto library = folder.library();

        const QList<FileError> errors = library->ReadAllFiles();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().path, folder.file(broken));
        QCOMPARE(errors.first().errorCode, asFolder ? EISDIR : ENOENT);

        QCOMPARE(library->m_settings.locationButton, broken == "font.dat" ? LocationButton::Center : LocationButton::Top);
        QCOMPARE(library->isTicked(0, 1), broken != "check.txt");
        QCOMPARE(rowsOf(library->m_list), (broken == "List.txt" ? Rows{} : Rows{{"A", "a"}}));
    }

    // Leaving the program always works while the folder can be written: missing files are made.
    void exitCreatesMissingFiles()
    {
        Folder folder;
        folder.write("List.txt", "A;a;b;");
        auto library = folder.library();
        QCOMPARE(library->ReadAllFiles().size(), 2);
        library->m_check[0][2] = 1;

        QCOMPARE(library->WriteAllFiles(), std::nullopt);
        QCOMPARE(folder.read("List.txt"), QByteArray("A;a;b;"));
        QByteArray ticks(10000, '\0');
        ticks[2] = 1;
        QCOMPARE(folder.read("check.txt"), ticks);
        QCOMPARE(folder.read("font.dat"), kDefaultFontRecord);

        auto next = folder.library();
        QCOMPARE(next->ReadAllFiles().size(), 0);
        QVERIFY(next->isTicked(0, 2));
    }

    // Errors name the file by its full path and stop the exit where they happen.
    void writeFailures_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("List.txt") << "List.txt" << EISDIR << QStringList{};
        QTest::newRow("check.txt") << "check.txt" << EISDIR << QStringList{"List.txt"};
        QTest::newRow("font.dat") << "font.dat" << EISDIR << QStringList{"List.txt", "check.txt"};
    }
    void writeFailures()
    {
        QFETCH(QString, blocked);
        QFETCH(int, errorCode);
        QFETCH(QStringList, written);
        Folder folder;
        QVERIFY(QDir(folder.path()).mkdir(blocked));
        auto library = folder.library();
        library->m_list[0][0] = "A";

        const auto error = library->WriteAllFiles();
        QVERIFY(error);
        QCOMPARE(error->errorCode, errorCode);
        QCOMPARE(error->message(), folder.file(blocked) + " contains an invalid path.");
        QStringList files = folder.entries();
        files.removeOne(blocked);
        QCOMPARE(files, written);
    }

    void writeIntoMissingFolder()
    {
        Folder folder;
        auto library = std::make_unique<CFlashLibrary>();
        library->SetFolder(folder.file("gone"));
        const auto error = library->WriteAllFiles();
        QVERIFY(error);
        QCOMPARE(error->message(), folder.file("gone/List.txt") + " was not found.");
    }

    // A save that fails part-way, as on a full disk, leaves the previous file whole and no
    // half-written file beside it.
    void interruptedSaveKeepsPreviousFile_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("List.txt") << "List.txt";
        QTest::newRow("check.txt") << "check.txt";
        QTest::newRow("font.dat") << "font.dat";
    }
    void interruptedSaveKeepsPreviousFile()
    {
        QFETCH(QString, failing);
        Folder folder;
        const QByteArray oldList = categoryLine("Old", 20);
        QByteArray oldTicks(10000, '\0');
        oldTicks[0] = 1;
        const QByteArray oldFont = kDefaultFontRecord.left(32) + le32(1002) + le32(5) + le32(1);
        folder.write("List.txt", oldList);
        folder.write("check.txt", oldTicks);
        folder.write("font.dat", oldFont);
        auto library = folder.library();
        QCOMPARE(library->ReadAllFiles().size(), 0);
        library->m_check[0][0] = 0;
        library->m_settings.locationButton = LocationButton::Bottom;
        // Only the failing file's new content is larger than the limit.
        const rlim_t limit = failing == "List.txt" ? 100 : failing == "check.txt" ? 1000 : 40;
        library->m_list[0][0] = failing == "List.txt" ? QByteArray(300, 'N') : QByteArray("N");
        for (int s = 1; s < 100; ++s)
            library->m_list[0][s].clear();

        std::optional<FileError> error;
        {
            FileSizeLimit full(limit);
            error = failing == "font.dat" ? library->WriteFontFile() : library->WriteListFiles();
        }
        QVERIFY(error);
        QCOMPARE(error->path, folder.file(failing));
        QCOMPARE(error->errorCode, EFBIG);
        QCOMPARE(folder.read(failing), failing == "List.txt" ? oldList : failing == "check.txt" ? oldTicks : oldFont);
        QCOMPARE(folder.entries(), (QStringList{"List.txt", "check.txt", "font.dat"}));
    }

    void dataFolderBesideExecutableWhenItHoldsTheFiles()
    {
        Folder beside, user, installed;
        beside.write("check.txt", "mine");
        installed.write("List.txt", "Shipped;");
        QCOMPARE(chooseDataFolder(beside.path(), user.file("glintmark"), installed.path()), beside.path());
        QCOMPARE(beside.entries(), QStringList{"check.txt"});
        QVERIFY(!user.exists("glintmark"));
    }

    // An installation is <prefix>/bin/glintmark beside <prefix>/share/glintmark. Its folder may
    // be writable (root and /usr/local/bin), yet its files belong in the per-user folder; only a
    // writable folder that is no installation is used as a portable one.
    void dataFolderWritableBesideExecutable_data()
    {
        QTest::addColumn<bool>("installedShare");
        QTest::addColumn<bool>("portable");
        QTest::newRow("portable copy, nothing installed beside it") << false << true;
        QTest::newRow("installed program run by a user who may write its folder") << true << false;
    }

    void dataFolderWritableBesideExecutable()
    {
        QFETCH(bool, installedShare);
        QFETCH(bool, portable);
        Folder prefix, user;
        QVERIFY(QDir().mkpath(prefix.file("bin")));
        QVERIFY(QFileInfo(prefix.file("bin")).isWritable());
        if (installedShare) {
            QVERIFY(QDir().mkpath(prefix.file("share/glintmark")));
            prefix.write("share/glintmark/List.txt", "Shipped;a;");
            prefix.write("share/glintmark/font.dat", kDefaultFontRecord);
        }
        const QString beside = prefix.file("bin");
        const QString installed = prefix.file("share/glintmark");
        const QString perUser = user.file("glintmark");

        QCOMPARE(chooseDataFolder(beside, perUser, installed), portable ? beside : perUser);
        QCOMPARE(QDir(beside).entryList(QDir::Files), QStringList());
        if (portable) {
            QVERIFY(!user.exists("glintmark"));
        } else {
            QCOMPARE(user.read("glintmark/List.txt"), QByteArray("Shipped;a;"));
            QCOMPARE(user.read("glintmark/font.dat"), kDefaultFontRecord);
            QVERIFY(!user.exists("glintmark/check.txt"));
        }

        // A folder beside the executable that holds the files is used, installation or not.
        prefix.write("bin/check.txt", QByteArray(10000, '\0'));
        QCOMPARE(chooseDataFolder(beside, perUser, installed), beside);
    }

    void dataFolderPerUserWhenBesideIsNotWritable()
    {
        Folder outside, user, installed;
        installed.write("List.txt", "Shipped;a;");
        installed.write("check.txt", QByteArray(10000, '\x01'));
        installed.write("font.dat", kDefaultFontRecord);
        const QString perUser = user.file("share/glintmark");

        // A folder that cannot exist stands for one that cannot be written.
        outside.write("file", "");
        const QString beside = outside.file("file/bin");
        QCOMPARE(chooseDataFolder(beside, perUser, installed.path()), perUser);
        for (const char *name : {"List.txt", "check.txt", "font.dat"})
            QCOMPARE(user.read(QString("share/glintmark/") + name), installed.read(name));

        // Later starts keep the user's own files.
        user.write("share/glintmark/List.txt", "Mine;");
        QFile::remove(user.file("share/glintmark/check.txt"));
        QCOMPARE(chooseDataFolder(beside, perUser, installed.path()), perUser);
        QCOMPARE(user.read("share/glintmark/List.txt"), QByteArray("Mine;"));
        QVERIFY(!user.exists("share/glintmark/check.txt"));
    }

    // The defaults shipped beside the program.
    void shippedDefaults()
    {
        auto library = std::make_unique<CFlashLibrary>();
        library->SetFolder(QStringLiteral(GLINTMARK_RES_DIR));
        QCOMPARE(library->ReadAllFiles().size(), 0);
        QCOMPARE(library->libraryLosses(), Losses());
        QVERIFY(library->m_settings == FlashSettings());

        const Rows rows = rowsOf(library->m_list);
        const QByteArrayList names{"Confidence", "Calm", "Health", "Focus", "Sleep", "Gratitude", "Abundance", "Relationships"};
        QCOMPARE(rows.size(), names.size());
        int tickedRow = -1;
        for (int r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].first(), names[r]);
            const int affirmations = int(rows[r].size()) - 1;
            QVERIFY2(affirmations >= 8 && affirmations <= 12, rows[r].first());
            for (const QByteArray &text : rows[r]) {
                QVERIFY2(!text.isEmpty() && text.size() <= 40 && !text.contains(';'), text);
                QVERIFY2(text.trimmed() == text, text);
            }
            if (library->isTicked(r, 0))
                tickedRow = r;
        }
        QVERIFY(tickedRow >= 0);
        QByteArray ticks(10000, '\0');
        for (int s = 0; s < rows[tickedRow].size(); ++s)
            ticks[100 * tickedRow + s] = 1;

        const QDir res(QStringLiteral(GLINTMARK_RES_DIR));
        QCOMPARE(readWholeFile(res.filePath("check.txt")), ticks);
        QCOMPARE(readWholeFile(res.filePath("font.dat")), kDefaultFontRecord);

        // Written back, every file is the same: the format is exact.
        Folder copy;
        QVERIFY(copyShippedFiles(copy.path()));
        auto again = copy.library();
        QCOMPARE(again->ReadAllFiles().size(), 0);
        QCOMPARE(again->WriteAllFiles(), std::nullopt);
        for (const char *name : {"List.txt", "check.txt", "font.dat"})
            QCOMPARE(copy.read(name), readWholeFile(res.filePath(name)));
    }
};

QTEST_GUILESS_MAIN(FlashLibraryTest)
#include "tst_flashlibrary.moc"
