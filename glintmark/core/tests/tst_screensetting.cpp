// The screens to flash on, as a per-user setting: kept apart from "font.dat", read back as
// written, and the primary screen whenever the stored value is missing or unknown.

#include "FlashScreenSetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(FlashScreen)

class ScreenSettingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home->path());
    }

    void missingIsPrimary()
    {
        QCOMPARE(readFlashScreen(), FlashScreen::Primary);
        // Reading writes nothing.
        QVERIFY(QDir(m_home->path()).isEmpty());
    }

    void writtenIsReadBack_data()
    {
        QTest::addColumn<FlashScreen>("screen");
        QTest::addColumn<QString>("stored");
        QTest::newRow("primary") << FlashScreen::Primary << "primary";
        QTest::newRow("pointer") << FlashScreen::Pointer << "pointer";
        QTest::newRow("all") << FlashScreen::All << "all";
    }
    void writtenIsReadBack()
    {
        QFETCH(FlashScreen, screen);
        QFETCH(QString, stored);
        writeFlashScreen(FlashScreen::Pointer == screen ? FlashScreen::All : FlashScreen::Pointer);
        writeFlashScreen(screen);
        QCOMPARE(readFlashScreen(), screen);
        // In the program's own folder of per-user settings, as a word a person can read.
        const QString file = QDir(m_home->path()).filePath(QCoreApplication::organizationName() + '/'
                                                          + QCoreApplication::applicationName() + ".conf");
        QFile kept(file);
        QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(file));
        QVERIFY(kept.readAll().contains("screen=" + stored.toLatin1()));
        QCOMPARE(QSettings().value(kFlashScreenSetting).toString(), stored);
    }

    void unknownIsPrimary_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("a word of no meaning") << QVariant("sideways");
        QTest::newRow("empty") << QVariant(QString());
        QTest::newRow("another case") << QVariant("All");
        QTest::newRow("a number") << QVariant(2);
        QTest::newRow("a list") << QVariant(QStringList{"all", "pointer"});
    }
    void unknownIsPrimary()
    {
        QFETCH(QVariant, value);
        QSettings().setValue(kFlashScreenSetting, value);
        QCOMPARE(readFlashScreen(), FlashScreen::Primary);
    }

    void storedWordsRoundTrip()
    {
        for (FlashScreen screen : {FlashScreen::Primary, FlashScreen::Pointer, FlashScreen::All})
            QCOMPARE(flashScreenFromStored(flashScreenToStored(screen)), screen);
        QCOMPARE(flashScreenToStored(FlashScreen{9}), QStringLiteral("primary"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("glintmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Glintmark"));
    ScreenSettingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screensetting.moc"
