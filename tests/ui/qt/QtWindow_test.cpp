// The Qt front-end driven as a clerk drives it: the tray icon, the menu, the keys, the settings
// window, message boxes, and passes behind the window. Runs offscreen.

#include <unistd.h>

#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "common/Failure.h"
#include "startup/Program.h"
#include "support/DispatchHome.h"
#include "support/Expect.h"
#include "support/ProgramRig.h"
#include "ui/qt/FrmLista.h"
#include "ui/qt/QtWindow.h"

namespace {

using namespace tolvane;
using ui::qt::QtWindow;
using ui::qt::TrayHost;

// The dialog open now: a modal one, or a message box (boxes are not modal, so that the tray's
// menu works while one is open).
QDialog* OpenDialog() {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return modal;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible())
            return box;
    }
    return nullptr;
}

// Hands the dialog that `open` shows to `act` from the event loop, and closes it afterwards if
// it is still open, so that no test can hang waiting for it. False when none showed.
bool ActOnModal(const std::function<void()>& open, const std::function<void(QWidget&)>& act) {
    bool reached = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QDialog* dialog = OpenDialog()) {
            poll.stop();
            reached = true;
            act(*dialog);
            if (QDialog* still = OpenDialog())
                still->done(QDialog::Rejected);
        }
    });
    poll.start(5);
    open();
    return reached;
}

// The message box that `open` shows, as "icon|text", after clicking its button `click`.
QString BoxShown(const std::function<void()>& open, const QString& click = "Aceptar") {
    QString shown;
    ActOnModal(open, [&](QWidget& modal) {
        auto& box = dynamic_cast<QMessageBox&>(modal);
        shown = QString::number(box.icon()) + "|" + box.text();
        for (QAbstractButton* button : box.buttons())
            if (button->text() == click)
                button->click();
    });
    return shown;
}

// An installation whose kit folder comes from the kit's registry value, with the window wired
// to its program as the executable wires it.
struct Rig : test::ProgramRig<test::TolvaneHome, QtWindow> {
    Rig() {
        window.setNotificationAreaCheck([] { return true; });
        window.setSettingsContext(program.context());
        window.setUntrappedHandler([this](const Failure& f) { untrapped.push_back(f.number()); });
    }
    QAction& Entry(int index) { return *window.mnu().actions().at(index); }

    std::vector<std::int32_t> untrapped;
};

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rig> rig;

  private slots:
    void init() { rig = std::make_unique<Rig>(); }
    void cleanup() { rig.reset(); }

    void theDoubleClickAndTheRightClickOpenTheMenuWhichWithEscShowsOrHidesTheWindow() {
        using enum QSystemTrayIcon::ActivationReason;
        QtWindow& window = rig->window;
        QVERIFY(ActOnModal([&] { window.MessageBox("¿Reintentar?", ui::kMbYesNo); },
                           [&](QWidget&) {  // over a start-up box too
                               emit window.trayIcon().activated(DoubleClick);
                               QVERIFY(window.mnu().isVisible());
                               window.mnu().hide();
                           }));
        const int interval = QApplication::doubleClickInterval();
        for (const TrayHost host : {TrayHost::XEmbed, TrayHost::StatusNotifier}) {
            for (const auto reason : {DoubleClick, Trigger, Context, MiddleClick, Unknown}) {
                // A host that cannot double-click gives its activation as the double click,
                // which opens the menu once the double-click interval is over.
                // A right click on an XEmbed tray opens it too, once the button is up; such a
                // host's own right-click menu is only a StatusNotifierItem host's.
                const bool hostClick = host == TrayHost::StatusNotifier && reason == Trigger;
                const bool rightClick = host == TrayHost::XEmbed && reason == Context;
                window.setTrayHost(host);
                QVERIFY((window.trayIcon().contextMenu() != nullptr) ==
                        (host == TrayHost::StatusNotifier));
                emit window.trayIcon().activated(reason);
                if (hostClick || rightClick) {
                    QVERIFY(!window.mnu().isVisible());
                    QTest::qWait(hostClick ? interval + 50 : 60);
                }
                QVERIFY2(
                    window.mnu().isVisible() == (reason == DoubleClick || hostClick || rightClick),
                    qPrintable(QString::number(reason)));
                window.mnu().hide();
            }
        }
        // Such a host gives a double click as two activations: the menu opens once, after the
        // second, which would otherwise have closed it.
        int opened = 0;
        QObject::connect(&window.mnu(), &QMenu::aboutToShow, [&] { ++opened; });
        emit window.trayIcon().activated(Trigger);
        QTest::qWait(interval / 3);
        emit window.trayIcon().activated(Trigger);
        QVERIFY(opened == 0);
        QTest::qWait(interval);
        QVERIFY(opened == 1 && window.mnu().isVisible());
        window.mnu().hide();

        // The tray is asked about once, before the icon shows: asked after, the question
        // would wait on a host that itself waits for the new icon.
        std::vector<bool> shownWhenAsked;
        window.setNotificationAreaCheck([&] {
            shownWhenAsked.push_back(window.trayIcon().isVisible());
            return true;
        });
        ui::qt::FrmLista& form = window.frmLista();
        window.NotifyIcon(ui::kNimAdd, ui::NotifyIconData{});
        window.SetTimer(60000, true);
        QString shown;  // the window's visibility after each step, as + or -
        for (const QString step :
             {"Cerrar", "Esc", "Abrir", "Abrir", "Esc", "Abrir", "Cerrar", "Abrir", "close"}) {
            if (step == "Esc")
                QTest::keyClick(&form.lst(), Qt::Key_Escape);  // previewed by the window
            else if (step == "close")
                form.close();
            else
                rig->Entry(step == "Abrir" ? 0 : 2).trigger();
            shown += form.isVisible() ? "+" : "-";
            QVERIFY(window.trayIcon().isVisible() && window.Timer1().isActive());
        }
        QCOMPARE(shown, QStringLiteral("--++-+-+-"));
        QCOMPARE(shownWhenAsked, std::vector<bool>{false});
        window.NotifyIcon(ui::kNimDelete, ui::NotifyIconData{});
        QVERIFY(!window.trayIcon().isVisible());

        // Without a notification area the window stays in view and only minimises.
        window.setNotificationAreaCheck([] { return false; });
        window.NotifyIcon(ui::kNimAdd, ui::NotifyIconData{});
        QVERIFY(form.isVisible());
        rig->Entry(2).trigger();
        QVERIFY(form.isMinimized());
        rig->Entry(0).trigger();
        QVERIFY(!form.isMinimized());
    }

    void settingsWindowShowsTheFieldsAndOnlyF11SavesWhileTheTimerRuns() {
        // A load that fails opens nothing, and its failure is not trapped.
        fs::remove(rig->home.Program() / "QuillonConfig.ini");
        QVERIFY(!ActOnModal([&] { rig->Entry(1).trigger(); }, [](QWidget&) {}));
        QCOMPARE(rig->untrapped, std::vector<std::int32_t>{-2146102393});

        for (const QString keys : {"F11", "Shift+F11", "Ctrl+Alt+F11", "Esc"}) {
            rig = std::make_unique<Rig>();
            int ticks = 0;
            rig->window.setTimerHandler([&] { ++ticks; });
            rig->window.SetTimer(20, true);
            QVERIFY(
                ActOnModal([&] { rig->Entry(1).trigger(); },
                           [&](QWidget& dialog) {
                               QTest::qWait(200);
                               QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
                               dialog.findChild<QLineEdit*>("txtServidor")->setText("ftp." + keys);
                               dialog.findChild<QLineEdit*>("txtUsuario")->clear();
                               QTest::keySequence(dialog.focusWidget(), QKeySequence(keys));
                               QVERIFY(!dialog.isVisible());
                           }));
            // Every field saved from what the window showed, the edited ones as edited; what
            // the saving writes is pinned by the settings window's own tests.
            const config::Settings& s = rig->program.context().settings;
            const std::string edited =
                keys == "Esc" ? "ftp.viejo|d|ana" : "ftp." + keys.toStdString() + "|d|";
            QCOMPARE(test::Joined({s.RutaKitOut, s.RUTA1, s.RUTA2, s.SERVIDOR, s.DIRECTORIO,
                                   s.USUARIO, s.PASSWORD}),
                     rig->kit + "|/b1/|/b2/|" + edited + "|x");
        }
    }

    // Beyond 16 pixels the icon is drawn for its size, not the 16-pixel drawing enlarged.
    void theIconIsDrawnForTheSizesTraysAskFor() {
        for (const int size : {32, 48}) {
            const QImage image = rig->window.icon().pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            const int block = size / 16;
            bool enlarged = true;
            for (int y = 0; y < size && enlarged; ++y) {
                for (int x = 0; x < size && enlarged; ++x)
                    enlarged =
                        image.pixel(x, y) == image.pixel(x / block * block, y / block * block);
            }
            QVERIFY2(!enlarged, qPrintable(QString::number(size)));
        }
    }

    void messageBoxesAndTheUntrappedFailureReport() {
        const QString warning = QString::number(QMessageBox::Warning) + "|uno\n\ndos";
        const std::tuple<int, QString, int> cases[] = {
            {48, "Aceptar", ui::kIdOk}, {52, "&Sí", ui::kIdYes}, {52, "&No", ui::kIdNo}};
        for (const auto& [style, click, answer] : cases) {
            int answered = 0;
            QCOMPARE(BoxShown([&] { answered = rig->window.MessageBox("uno\r\n\r\ndos", style); },
                              click),
                     warning);
            QCOMPARE(answered, answer);
        }
        QCOMPARE(
            BoxShown([&] { rig->window.ReportUntrappedFailure(Failure(380, "Timer1", "x")); }),
            QString::number(QMessageBox::Critical) + "|Error en tiempo de ejecución 380:\n\nx");
    }

    void aPassGoesToTheHiddenWindowAndSettingsOpenedInItHoldTheNextPass() {
        ui::qt::FrmLista& form = rig->window.frmLista();
        rig->window.SetProgress(200.0f / 3);
        QCOMPARE(form.pbMain().value(), 67);
        for (const char* name : {"C10073LAPI000001A.RET", "C10073LAPI000002B.RET", "C3.RET"})
            test::WriteFile(rig->kit + name, test::LapiCoverSheet(name));
        int wake[2];
        QCOMPARE(::pipe(wake), 0);
        QTimer watchdog;  // ends the loop should the stop request be lost
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        int ticks = 0, ticksWhileOpen = -1;
        bool timerOnWhileOpen = true;
        rig->program.Timer1().setInterval(20);
        rig->program.Timer1().setEnabled(true);
        rig->window.RunLoop(wake[0], [&] {
            if (++ticks == 1) {
                // Runs at the pass's first yield: the clerk opens the settings window.
                QTimer::singleShot(0, [&] {
                    ActOnModal([&] { rig->Entry(1).trigger(); },
                               [&](QWidget& dialog) {
                                   QTest::qWait(150);  // several periods of Timer1
                                   ticksWhileOpen = ticks;
                                   timerOnWhileOpen = rig->window.Timer1().isActive();
                                   QTest::keyClick(&dialog, Qt::Key_Escape);
                               });
                });
            } else {
                QCOMPARE(::write(wake[1], "x", 1), 1);  // a stop request while a pass runs
            }
            rig->program.Timer1_Timer();
        });
        ::close(wake[0]);
        ::close(wake[1]);
        QVERIFY2(watchdog.isActive(), "the stop request was lost");
        QVERIFY(ticks == 2 && ticksWhileOpen == 1 && !timerOnWhileOpen && rig->untrapped.empty());
        // The labels and the bar cleared at the end, the list kept, the window never shown.
        QCOMPARE(form.lbl(0).text() + "|" + form.lbl(1).text() + "|" +
                     QString::number(form.pbMain().value()) + "|" + form.lst().item(1)->text(),
                 QStringLiteral("||0|C10073LAPI000002B.RET"));
        QVERIFY(!form.isVisible());
    }

    // A failing pass leaves its box open and the timer going: passes that fail too open no
    // other box, the icon warns, and once the server is back the next pass sends the dispatch,
    // closes the box and gives the icon back.
    void aFailureBoxLetsTheTimerGoOnAndClosesOnceAPassGoesWell() {
        test::ProgramRig<test::DispatchHome, QtWindow> office;
        QtWindow& window = office.window;
        window.setNotificationAreaCheck([] { return true; });
        const fs::path server = office.home.dir().path() / "servidor";
        test::WriteFile(server, "");  // a file where the folder should be: every upload fails
        office.home.Configure("SERVIDOR=file://" + server.string() + "\nDIRECTORIO=d\nRUTA1=" +
                              office.bck1 + "\nRUTA2=" + office.bck2 + "\nMILISEGUNDOS=30\n");
        office.home.AddKitDispatch("10073IC04004521A");
        QVERIFY(office.program.Main() == startup::StartupOutcome::Running);

        std::set<QMessageBox*> boxes;
        bool warned = false;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (window.FailureShown()) {
                boxes.insert(window.failureBox());
                warned = warned ||
                         window.trayIcon().icon().cacheKey() == window.warningIcon().cacheKey();
                if (office.program.failuresReported() == 3 && fs::is_regular_file(server)) {
                    fs::remove(server);
                    fs::create_directories(server);
                }
            } else if (!boxes.empty()) {
                loop.quit();
            }
        });
        poll.start(5);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        window.setTimerHandler([&] { office.program.Timer1_Timer(); });
        loop.exec();

        QCOMPARE(boxes.size(), std::size_t{1});
        QVERIFY(warned && !window.FailureShown());
        QVERIFY(fs::exists(server / "d" / "C4521.xml") && fs::exists(server / "d" / "I4521.xml"));
        QCOMPARE(window.trayIcon().icon().cacheKey(), window.icon().cacheKey());
        for (const int size : {16, 22, 48}) {  // the mark, at every size a tray asks for
            const QImage marked = window.warningIcon().pixmap(size, size).toImage();
            const int side = size * 6 / 10;
            const QColor inside =
                marked.pixelColor(size - side + side * 3 / 10, size - 1 - side / 6);
            QVERIFY2(marked.size() == QSize(size, size) && inside.red() > 200 &&
                         inside.green() > 150 && inside.blue() < 80,
                     qPrintable(QString::number(size) + " " + inside.name()));
        }
    }
};

QTEST_MAIN(QtWindowTest)
#include "QtWindow_test.moc"
