// The Qt front-end driven as a clerk drives it: the tray icon, the menu, the keys, the settings
// window, message boxes, and passes behind the window. Runs offscreen.

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
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
#include "support/TolvaneHome.h"
#include "ui/qt/FrmLista.h"
#include "ui/qt/QtWindow.h"

namespace {

using namespace tolvane;
using ui::qt::QtWindow;
using ui::qt::TrayHost;

// Hands the modal window that `open` shows to `act` from the event loop, and closes it
// afterwards if it is still open, so that no test can hang in exec(). False when none showed.
bool ActOnModal(const std::function<void()>& open, const std::function<void(QWidget&)>& act) {
    bool reached = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            reached = true;
            act(*modal);
            if (auto* still = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                still->done(QDialog::Rejected);
        }
    });
    poll.start(5);
    open();
    return reached;
}

// The message box that `open` shows, as "title|icon|text", after clicking its button `click`.
QString BoxShown(const std::function<void()>& open, const QString& click = "Aceptar") {
    QString shown;
    ActOnModal(open, [&](QWidget& modal) {
        auto& box = dynamic_cast<QMessageBox&>(modal);
        shown = box.windowTitle() + "|" + QString::number(box.icon()) + "|" + box.text();
        for (QAbstractButton* button : box.buttons())
            if (button->text() == click)
                button->click();
    });
    return shown;
}

// An installation whose kit folder comes from the kit's registry value, with the window wired
// to its program as the executable wires it.
struct Rig {
    Rig() : program(home.os(), home.factory(), window) {
        home.SetKitFolder(kit);
        home.WriteConfigIni(
            "[Opciones]\nSERVIDOR=ftp.viejo\nUSUARIO=ana\nPASSWORD=x\nDIRECTORIO=d\n"
            "RUTA1=/bck/uno/\nMILISEGUNDOS=1234\n");
        window.setNotificationAreaCheck([] { return true; });
        window.setSettingsContext(program.context());
        window.setUntrappedHandler([this](const Failure& f) { untrapped.push_back(f.number()); });
    }
    std::string Ini(const char* key) {
        return home.os().GetPrivateProfileString("Opciones", key, "<none>", home.ConfigIniPath());
    }
    std::string Stored(const char* key) {
        return home.os().GetSetting("HISTORIAL", "FTP", key, "<none>");
    }
    QAction& Entry(int index) { return *window.mnu().actions().at(index); }

    test::TolvaneHome home;
    QtWindow window;
    startup::Program program;
    std::string kit = home.Folder("kit/out");
    std::vector<std::int32_t> untrapped;
};

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rig> rig;

  private slots:
    void init() { rig = std::make_unique<Rig>(); }
    void cleanup() { rig.reset(); }

    void onlyTheDoubleClickOpensTheMenuWhichWithEscShowsOrHidesOnlyTheWindow() {
        using enum TrayHost;
        using enum QSystemTrayIcon::ActivationReason;
        QtWindow& window = rig->window;
        for (const TrayHost host : {XEmbed, StatusNotifier}) {
            for (const auto reason : {DoubleClick, Trigger, Context, MiddleClick, Unknown}) {
                // A host that cannot double-click gives its activation as the double click.
                const bool opens =
                    reason == DoubleClick || (host == StatusNotifier && reason == Trigger);
                window.setTrayHost(host);
                emit window.trayIcon().activated(reason);
                QVERIFY2(window.mnu().isVisible() == opens, qPrintable(QString::number(reason)));
                window.mnu().hide();
            }
        }
        QVERIFY(!window.frmLista().isVisible());
        QStringList entries;
        for (const QAction* action : window.mnu().actions())
            entries << action->text();
        QCOMPARE(entries, (QStringList{"Abrir", "Configurar", "Cerrar"}));

        // The menu and Esc show or hide only the window.
        ui::qt::FrmLista& form = window.frmLista();
        ui::NotifyIconData icon{};
        icon.szTip = startup::TipField(startup::TipText("/bck/uno/"));
        window.NotifyIcon(ui::kNimAdd, icon);
        QCOMPARE(window.trayIcon().toolTip(),
                 QStringLiteral("Tolvane version 1.8.40 Generado 28-06-2010 - /bck/uno/"));
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
        window.NotifyIcon(ui::kNimDelete, icon);
        QVERIFY(!window.trayIcon().isVisible());

        // Without a notification area the window stays in view and only minimises.
        window.setNotificationAreaCheck([] { return false; });
        window.NotifyIcon(ui::kNimAdd, icon);
        QVERIFY(form.isVisible());
        rig->Entry(2).trigger();
        QVERIFY(form.isMinimized());
        rig->Entry(0).trigger();
        QVERIFY(!form.isMinimized());
    }

    void theTrayIsAskedOnceBeforeTheIconShowsAndAHostsDoubleActivationKeepsTheMenu() {
        QtWindow& window = rig->window;
        int asked = 0;
        bool shownWhenAsked = true;
        window.setNotificationAreaCheck([&] {
            ++asked;
            shownWhenAsked = window.trayIcon().isVisible();
            return true;
        });
        window.NotifyIcon(ui::kNimAdd, ui::NotifyIconData{});
        rig->Entry(2).trigger();  // hiding the window asks nothing more
        QCOMPARE(asked, 1);
        QVERIFY(!shownWhenAsked);

        // A StatusNotifierItem host gives a double click as two activations.
        window.setTrayHost(TrayHost::StatusNotifier);
        int opened = 0;
        QObject::connect(&window.mnu(), &QMenu::aboutToShow, [&] { ++opened; });
        emit window.trayIcon().activated(QSystemTrayIcon::Trigger);
        emit window.trayIcon().activated(QSystemTrayIcon::Trigger);
        QCOMPARE(opened, 1);
        QVERIFY(window.mnu().isVisible());
        window.mnu().hide();
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        emit window.trayIcon().activated(QSystemTrayIcon::Trigger);
        QCOMPARE(opened, 2);
        window.mnu().hide();
    }

    void theMenuOpensOverAStartUpBoxAndTheTimerRunsUnderTheSettingsWindow() {
        QtWindow& window = rig->window;
        bool menuOverBox = false;
        ActOnModal(
            [&] { window.MessageBox("¿Reintentar?", ui::kMbYesNo | ui::kMbIconExclamation); },
            [&](QWidget&) {
                emit window.trayIcon().activated(QSystemTrayIcon::DoubleClick);
                menuOverBox = window.mnu().isVisible();
                window.mnu().hide();
            });
        QVERIFY(menuOverBox);

        int ticks = 0, ticksUnderSettings = 0;
        window.setTimerHandler([&] { ++ticks; });
        window.SetTimer(20, true);
        QVERIFY(ActOnModal([&] { rig->Entry(1).trigger(); },
                           [&](QWidget&) {
                               QTest::qWait(200);
                               ticksUnderSettings = ticks;
                           }));
        window.SetTimer(20, false);
        QVERIFY2(ticksUnderSettings >= 3, qPrintable(QString::number(ticksUnderSettings)));
    }

    void settingsWindowShowsTheFieldsAndOnlyF11Saves() {
        // A load that fails opens nothing, and its failure is not trapped.
        std::filesystem::remove(rig->home.Program() / "QuillonConfig.ini");
        QVERIFY(!ActOnModal([&] { rig->Entry(1).trigger(); }, [](QWidget&) {}));
        QCOMPARE(rig->untrapped, std::vector<std::int32_t>{-2146102393});

        for (const QString keys : {"F11", "Shift+F11", "Ctrl+Alt+F11", "Esc"}) {
            rig = std::make_unique<Rig>();
            QStringList tabOrder;
            QMap<int, QString> rows;  // by their place from top to bottom
            QString shownServer;
            bool closed = false;
            const auto act = [&](QWidget& dialog) {
                QCOMPARE(dialog.findChild<QLineEdit*>("txtPassword")->echoMode(),
                         QLineEdit::Normal);
                QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("Txt_RUTA"));
                for (QWidget* w = dialog.focusWidget(); tabOrder.size() < 7;
                     w = w->nextInFocusChain()) {
                    if (qobject_cast<QLineEdit*>(w) == nullptr)
                        continue;
                    tabOrder << w->objectName();
                    rows[w->y()] = w->objectName();
                }
                auto* server = dialog.findChild<QLineEdit*>("txtServidor");
                shownServer = server->text();
                server->setText("ftp." + keys);
                dialog.findChild<QLineEdit*>("txtUsuario")->clear();
                QTest::keySequence(dialog.focusWidget(), QKeySequence(keys));
                closed = !dialog.isVisible();
            };
            QVERIFY(ActOnModal([&] { rig->Entry(1).trigger(); }, act));
            QCOMPARE(tabOrder.join(' '),
                     "Txt_RUTA TXT_RUTABCK1 TXT_RUTABCK2 txtServidor "
                     "txtUsuario txtPassword txtDirectorio");
            QCOMPARE(QStringList(rows.values()).join(' '),
                     "Txt_RUTA TXT_RUTABCK1 TXT_RUTABCK2 "
                     "txtServidor txtDirectorio txtUsuario txtPassword");
            QCOMPARE(shownServer, QStringLiteral("ftp.viejo"));
            QVERIFY(closed);
            // Server and user in memory, in the per-user store and in Config.ini.
            const config::Settings& memory = rig->program.context().settings;
            const std::string expected =
                keys == "Esc" ? "ftp.viejo|ana" : "ftp." + keys.toStdString() + "|";
            QCOMPARE(memory.SERVIDOR + "|" + memory.USUARIO, expected);
            QCOMPARE(rig->Stored("SERVIDOR") + "|" + rig->Stored("USUARIO"), expected);
            QCOMPARE(rig->Ini("SERVIDOR") + "|" + rig->Ini("USUARIO"), expected);
            QCOMPARE(rig->Ini("RUTA"), keys == "Esc" ? std::string("<none>") : rig->kit);
            QCOMPARE(rig->Ini("MILISEGUNDOS"), std::string("1234"));
        }
    }

    void messageBoxesAndTheUntrappedFailureReport() {
        const QString warning = "Tolvane|" + QString::number(QMessageBox::Warning) + "|uno\n\ndos";
        const std::tuple<int, QString, int> cases[] = {
            {48, "Aceptar", ui::kIdOk}, {52, "&Sí", ui::kIdYes}, {52, "&No", ui::kIdNo}};
        for (const auto& [style, click, answer] : cases) {
            int answered = 0;
            QCOMPARE(BoxShown([&] { answered = rig->window.MessageBox("uno\r\n\r\ndos", style); },
                              click),
                     warning);
            QCOMPARE(answered, answer);
        }
        QCOMPARE(BoxShown([&] {
                     rig->window.ReportUntrappedFailure(Failure(380, "Timer1", "Valor no válido"));
                 }),
                 "Tolvane|" + QString::number(QMessageBox::Critical) +
                     "|Error en tiempo de ejecución 380:\n\nValor no válido");
    }

    void aPassUpdatesTheHiddenWindowAndSettingsOpenedInItHoldTheNextPass() {
        for (const char* name : {"C10073LAPI000001A.RET", "C10073LAPI000002B.RET", "C3.RET"})
            test::WriteFile(rig->kit + name,
                            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>"
                            "<DESPACHO_CARATULA DESTINACION=\"LAPI\"/></R>");
        ui::qt::FrmLista& form = rig->window.frmLista();
        QStringList seen;
        bool everVisible = false;
        QTimer watch;  // fires at every yield of a pass
        QObject::connect(&watch, &QTimer::timeout, [&] {
            everVisible = everVisible || form.isVisible();
            const QString shown = form.lbl(0).text() + "|" + form.lbl(1).text() + "|" +
                                  QString::number(form.pbMain().value()) + "|" +
                                  QString::number(form.lst().count());
            if (seen.isEmpty() || seen.last() != shown)
                seen << shown;
        });
        watch.start(0);
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
        QCOMPARE(ticks, 2);
        QCOMPARE(ticksWhileOpen, 1);
        QVERIFY(!timerOnWhileOpen);
        QVERIFY(rig->untrapped.empty());

        const QString wait = "|Por favor aguarde unos instantes...|";
        QVERIFY2(seen.contains("Procesando Archivo C-10073LAPI000001A" + wait + "33|3"),
                 qPrintable(seen.join("\n")));
        QVERIFY(seen.contains("Procesando Archivo C-10073LAPI000002B" + wait + "67|3"));
        QVERIFY(seen.contains("Procesando Archivo C-C3.RET" + wait + "100|3"));
        QVERIFY(!everVisible);
        QCOMPARE(seen.last(), QStringLiteral("||0|3"));  // cleared at the end, the list kept
        QCOMPARE(form.lst().item(1)->text(), QStringLiteral("C10073LAPI000002B.RET"));
    }
};

QTEST_MAIN(QtWindowTest)
#include "QtWindow_test.moc"
