// A library file that exists but may not be read. Apart from the other file tests, so that a run
// as the superuser, whom file permissions do not bind, shows this test as skipped.

#include "FlashLibrary.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <unistd.h>

class ReadPermissionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
    }

    void unreadableListWithoutReadPermission()
    {
        QTemporaryDir folder;
        const QString list = folder.filePath("List.txt");
        QVERIFY(writeWholeFile(list, "Secret;s;"));
        QVERIFY(QFile::setPermissions(list, QFileDevice::WriteOwner));
        auto library = std::make_unique<CFlashLibrary>();
        library->SetFolder(folder.path());
        const QList<FileError> errors = library->ReadListFiles();
        QCOMPARE(errors.last().errorCode, EACCES);
        QCOMPARE(errors.last().message(), "Access to " + list + " was denied.");

        QCOMPARE(library->WriteListFiles(), std::nullopt);
        QVERIFY(QFile::setPermissions(list + ".bak", QFileDevice::ReadOwner));
        QCOMPARE(readWholeFile(list + ".bak"), QByteArray("Secret;s;"));
        QCOMPARE(readWholeFile(list), QByteArray());
    }
};

QTEST_GUILESS_MAIN(ReadPermissionTest)
#include "tst_readpermission.moc"
