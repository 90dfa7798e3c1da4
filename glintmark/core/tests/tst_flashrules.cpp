#include "FlashRules.h"
#include "PlatformChoice.h"

#include <QTest>

#include <vector>

Q_DECLARE_METATYPE(FlashLocation)
Q_DECLARE_METATYPE(FlashScreen)

class FlashRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void timingFollowsChosenValues_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("display");
        QTest::addColumn<int>("tickPeriod");
        QTest::addColumn<int>("hold");
        QTest::addColumn<bool>("faint");
        QTest::addColumn<bool>("noticeDue");
        QTest::newRow("10 ms, minimum interval") << 500 << 10 << 300 << 12 << true << true;
        QTest::newRow("10 ms, 1 s") << 1000 << 10 << 1000 << 12 << true << true;
        QTest::newRow("20 ms is still the shortest") << 2000 << 20 << 2000 << 12 << true << true;
        QTest::newRow("0 ms") << 1000 << 0 << 1000 << 12 << true << true;
        QTest::newRow("21 ms as chosen") << 1000 << 21 << 1000 << 21 << false << false;
        QTest::newRow("30 ms holds 21") << 500 << 30 << 300 << 21 << false << false;
        QTest::newRow("29 ms as chosen") << 1000 << 29 << 1000 << 29 << false << false;
        QTest::newRow("31 ms as chosen") << 1000 << 31 << 1000 << 31 << false << false;
        QTest::newRow("50 ms") << 3000 << 50 << 3000 << 50 << false << false;
        QTest::newRow("80 ms, 8 s") << 8000 << 80 << 8000 << 80 << false << false;
        QTest::newRow("499 ms interval as chosen") << 499 << 50 << 499 << 50 << false << false;
        QTest::newRow("501 ms interval as chosen") << 501 << 50 << 501 << 50 << false << false;
    }
    void timingFollowsChosenValues()
    {
        QFETCH(int, interval);
        QFETCH(int, display);
        QFETCH(int, tickPeriod);
        QFETCH(int, hold);
        QFETCH(bool, faint);
        QFETCH(bool, noticeDue);
        const FlashTimes times = FlashTiming(interval, display);
        QCOMPARE(times.tickPeriodMs, tickPeriod);
        QCOMPARE(times.holdMs, hold);
        QCOMPARE(times.faint, faint);
        QCOMPARE(times.noticeDue, noticeDue);
    }

    void boxAddsRoomRightAndBelow_data()
    {
        QTest::addColumn<int>("extentWidth");
        QTest::addColumn<int>("extentHeight");
        QTest::addColumn<int>("averageCharWidth");
        QTest::addColumn<int>("descent");
        QTest::addColumn<int>("scrollBar");
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("example") << 200 << 16 << 7 << 3 << 17 << 2 << 228 << 19;
        QTest::newRow("empty text") << 0 << 16 << 7 << 3 << 17 << 2 << 28 << 19;
        QTest::newRow("other style") << 513 << 29 << 12 << 6 << 14 << 1 << 541 << 35;
        QTest::newRow("no scroll bar or edge") << 100 << 10 << 5 << 2 << 0 << 0 << 105 << 12;
    }
    void boxAddsRoomRightAndBelow()
    {
        QFETCH(int, extentWidth);
        QFETCH(int, extentHeight);
        QFETCH(int, averageCharWidth);
        QFETCH(int, descent);
        QFETCH(int, scrollBar);
        QFETCH(int, edge);
        QFETCH(int, width);
        QFETCH(int, height);
        const FlashBox box = MeasureFlashText(extentWidth, extentHeight, {averageCharWidth, descent, scrollBar, edge});
        QCOMPARE(box.width, width);
        QCOMPARE(box.height, height);
    }

    void placeByLocation_data()
    {
        QTest::addColumn<FlashLocation>("location");
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("boxHeight");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::newRow("Top") << FlashLocation::Top << 1024 << 768 << 228 << 19 << 398 << 109;
        QTest::newRow("Center") << FlashLocation::Center << 1024 << 768 << 228 << 19 << 398 << 374;
        QTest::newRow("CenterLeft") << FlashLocation::CenterLeft << 1024 << 768 << 228 << 19 << 0 << 374;
        QTest::newRow("Bottom") << FlashLocation::Bottom << 1024 << 768 << 228 << 19 << 398 << 615;
        QTest::newRow("wider than the screen, Top") << FlashLocation::Top << 1024 << 768 << 1029 << 19 << -2 << 109;
        QTest::newRow("wider than the screen, Center") << FlashLocation::Center << 1024 << 768 << 1029 << 19 << -2 << 374;
        QTest::newRow("wider than the screen, CenterLeft") << FlashLocation::CenterLeft << 1024 << 768 << 1029 << 19 << 0 << 374;
        QTest::newRow("wider than the screen, Bottom") << FlashLocation::Bottom << 1024 << 768 << 1029 << 19 << -2 << 615;
        QTest::newRow("Bottom ignores a tall box") << FlashLocation::Bottom << 1024 << 768 << 228 << 400 << 398 << 615;
        QTest::newRow("Top ignores a tall box") << FlashLocation::Top << 1024 << 768 << 228 << 900 << 398 << 109;
        QTest::newRow("Center, taller than the screen") << FlashLocation::Center << 1024 << 768 << 228 << 801 << 398 << -16;
        QTest::newRow("full HD, Top") << FlashLocation::Top << 1920 << 1080 << 541 << 35 << 689 << 154;
        QTest::newRow("full HD, Bottom") << FlashLocation::Bottom << 1920 << 1080 << 541 << 35 << 689 << 864;
        QTest::newRow("no button selected (0) is Center") << FlashLocation{0} << 1024 << 768 << 228 << 19 << 398 << 374;
        QTest::newRow("5 is Center") << FlashLocation{5} << 1024 << 768 << 228 << 19 << 398 << 374;
        QTest::newRow("-1 is Center") << FlashLocation{-1} << 1024 << 768 << 228 << 19 << 398 << 374;
        QTest::newRow("1002, a button id, is Center") << FlashLocation{1002} << 1024 << 768 << 228 << 19 << 398 << 374;
    }
    void placeByLocation()
    {
        QFETCH(FlashLocation, location);
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(int, boxWidth);
        QFETCH(int, boxHeight);
        QFETCH(int, left);
        QFETCH(int, top);
        const FlashPlace place = PlaceFlashText(location, screenWidth, screenHeight, {boxWidth, boxHeight});
        QCOMPARE(place.left, left);
        QCOMPARE(place.top, top);
    }

    void placeOnScreenWithOffset_data()
    {
        QTest::addColumn<FlashLocation>("location");
        QTest::addColumn<QList<int>>("screen"); // left, top, width, height
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("boxHeight");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        const QList<int> right{1024, 0, 1024, 768};
        QTest::newRow("at the origin, as on a screen alone") << FlashLocation::Top << QList<int>{0, 0, 1024, 768} << 228 << 19 << 398 << 109;
        QTest::newRow("right of the primary, Top") << FlashLocation::Top << right << 228 << 19 << 1422 << 109;
        QTest::newRow("right of the primary, Center") << FlashLocation::Center << right << 228 << 19 << 1422 << 374;
        QTest::newRow("right of the primary, CenterLeft") << FlashLocation::CenterLeft << right << 228 << 19 << 1024 << 374;
        QTest::newRow("right of the primary, Bottom") << FlashLocation::Bottom << right << 228 << 19 << 1422 << 615;
        QTest::newRow("below, another size") << FlashLocation::Bottom << QList<int>{0, 1080, 1920, 1200} << 541 << 35 << 689 << 2040;
        QTest::newRow("left of the origin") << FlashLocation::Center << QList<int>{-1280, 0, 1280, 1024} << 228 << 19 << -754 << 502;
        QTest::newRow("above and left of the origin") << FlashLocation::Top << QList<int>{-800, -600, 800, 600} << 228 << 19 << -514 << -515;
        QTest::newRow("CenterLeft keeps the screen's left edge") << FlashLocation::CenterLeft << QList<int>{-800, 300, 800, 600} << 900 << 19 << -800 << 590;
        QTest::newRow("wider than the screen truncates toward zero") << FlashLocation::Center << right << 1029 << 19 << 1022 << 374;
        QTest::newRow("an unknown location is Center") << FlashLocation{0} << right << 228 << 19 << 1422 << 374;
    }
    void placeOnScreenWithOffset()
    {
        QFETCH(FlashLocation, location);
        QFETCH(QList<int>, screen);
        QFETCH(int, boxWidth);
        QFETCH(int, boxHeight);
        QFETCH(int, left);
        QFETCH(int, top);
        const FlashPlace place = PlaceFlashTextOnScreen(location, {screen[0], screen[1], screen[2], screen[3]},
                                                        {boxWidth, boxHeight});
        QCOMPARE(place.left, left);
        QCOMPARE(place.top, top);
    }

    void screensOfATick_data()
    {
        QTest::addColumn<FlashScreen>("choice");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("primary");
        QTest::addColumn<int>("pointer");
        QTest::addColumn<QList<int>>("screens");
        QTest::newRow("primary of two") << FlashScreen::Primary << 2 << 1 << 0 << QList<int>{1};
        QTest::newRow("primary, the only screen") << FlashScreen::Primary << 1 << 0 << -1 << QList<int>{0};
        QTest::newRow("pointer on the second") << FlashScreen::Pointer << 2 << 0 << 1 << QList<int>{1};
        QTest::newRow("pointer on the primary") << FlashScreen::Pointer << 3 << 2 << 2 << QList<int>{2};
        QTest::newRow("pointer on no screen: primary") << FlashScreen::Pointer << 2 << 1 << -1 << QList<int>{1};
        QTest::newRow("pointer on a screen gone: primary") << FlashScreen::Pointer << 2 << 0 << 2 << QList<int>{0};
        QTest::newRow("all of three, primary first") << FlashScreen::All << 3 << 1 << 0 << QList<int>{1, 0, 2};
        QTest::newRow("all of one") << FlashScreen::All << 1 << 0 << 0 << QList<int>{0};
        QTest::newRow("no primary known: the first") << FlashScreen::All << 2 << -1 << 0 << QList<int>{0, 1};
        QTest::newRow("no screen: nothing") << FlashScreen::All << 0 << -1 << -1 << QList<int>{};
        QTest::newRow("no screen, primary: nothing") << FlashScreen::Primary << 0 << -1 << -1 << QList<int>{};
        QTest::newRow("unknown choice is primary") << FlashScreen{7} << 2 << 1 << 0 << QList<int>{1};
    }
    void screensOfATick()
    {
        QFETCH(FlashScreen, choice);
        QFETCH(int, count);
        QFETCH(int, primary);
        QFETCH(int, pointer);
        QFETCH(QList<int>, screens);
        const std::vector<int> chosen = FlashScreensForTick(choice, count, primary, pointer);
        QCOMPARE(QList<int>(chosen.begin(), chosen.end()), screens);
    }

    void cycleRunsInOrderAndWraps_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("three texts") << 3 << 7 << QList<int>{0, 1, 2, 0, 1, 2, 0};
        QTest::newRow("one text") << 1 << 3 << QList<int>{0, 0, 0};
        QTest::newRow("two texts") << 2 << 5 << QList<int>{0, 1, 0, 1, 0};
    }
    void cycleRunsInOrderAndWraps()
    {
        QFETCH(int, count);
        QFETCH(int, ticks);
        QFETCH(QList<int>, shown);
        std::int32_t index = count; // where an overlay starts
        QList<int> seen;
        for (int i = 0; i < ticks; ++i) {
            const FlashStep step = FlashCycle(count, index);
            QVERIFY(step.show);
            index = step.index;
            seen.append(index);
        }
        QCOMPARE(seen, shown);
    }

    void cycleSteps_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("next");
        QTest::addColumn<bool>("show");
        QTest::newRow("empty list shows nothing") << 0 << 0 << 0 << false;
        QTest::newRow("last slot wraps") << 9999 << 9998 << 0 << true;
        QTest::newRow("every slot filled") << kFlashSlots << kFlashSlots << 0 << true;
        QTest::newRow("every slot filled, last slot") << kFlashSlots << kFlashSlots - 1 << 0 << true;
        QTest::newRow("middle") << 9900 << 4711 << 4712 << true;
        QTest::newRow("index past the list") << 3 << 50 << 0 << true;
        QTest::newRow("negative index") << 3 << -4 << 0 << true;
    }
    void cycleSteps()
    {
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(int, next);
        QFETCH(bool, show);
        QCOMPARE(FlashCycle(count, index), (FlashStep{next, show}));
    }

    void xcbChosenOnlyInWaylandSessionsWithoutChoice_data()
    {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<bool>("platformArgument");
        QTest::addColumn<bool>("preferXcb");
        QTest::newRow("wayland session") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << false << true;
        QTest::newRow("session type only") << QByteArray() << QByteArray("wayland") << QByteArray() << QByteArray(":1") << false << true;
        QTest::newRow("wayland display only") << QByteArray() << QByteArray() << QByteArray("wayland-1") << QByteArray(":0") << false << true;
        QTest::newRow("x11 session") << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray(":0") << false << false;
        QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << false << false;
        QTest::newRow("user chose -platform") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << true << false;
        QTest::newRow("no XWayland") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray() << false << false;
        QTest::newRow("no session") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false << false;
    }
    void xcbChosenOnlyInWaylandSessionsWithoutChoice()
    {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, display);
        QFETCH(bool, platformArgument);
        QFETCH(bool, preferXcb);
        QCOMPARE(shouldPreferXcb({platform, sessionType, waylandDisplay, display, platformArgument}), preferXcb);
    }

    void preferXcbSetsThePlatform_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArray>("platformAfter");
        QTest::newRow("no arguments") << QByteArrayList{"glintmark"} << QByteArray("xcb");
        QTest::newRow("-platform") << QByteArrayList{"glintmark", "-platform", "wayland"} << QByteArray();
        QTest::newRow("--platform") << QByteArrayList{"glintmark", "--platform", "wayland"} << QByteArray();
        QTest::newRow("program named -platform") << QByteArrayList{"-platform"} << QByteArray("xcb");
    }
    void preferXcbSetsThePlatform()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArray, platformAfter);
        const char *names[] = {"QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY"};
        std::vector<std::pair<QByteArray, bool>> saved;
        for (const char *name : names)
            saved.emplace_back(qgetenv(name), qEnvironmentVariableIsSet(name));
        qunsetenv("QT_QPA_PLATFORM");
        qputenv("XDG_SESSION_TYPE", "wayland");
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        qputenv("DISPLAY", ":0");

        std::vector<const char *> argv;
        for (const QByteArray &argument : arguments)
            argv.push_back(argument.constData());
        const bool chosen = preferXcbOnWayland(static_cast<int>(argv.size()), argv.data());
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");

        for (size_t i = 0; i < saved.size(); ++i) {
            if (saved[i].second)
                qputenv(names[i], saved[i].first);
            else
                qunsetenv(names[i]);
        }
        QCOMPARE(platform, platformAfter);
        QCOMPARE(chosen, !platformAfter.isEmpty());
    }
};

QTEST_GUILESS_MAIN(FlashRulesTest)
#include "tst_flashrules.moc"
