// The facility layer: message boxes (order, default, Escape, titles, icons),
// sounds as a test sees them, the busy cursor guard, the guarded call.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <stdexcept>

#include "editor/desktop/desktop.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"

using mus::Answer;
using mus::BoxKind;
using mus::Button;
using mus::Buttons;

Q_DECLARE_METATYPE(mus::BoxKind)
Q_DECLARE_METATYPE(mus::Answer)

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // left to right
    QString defaultButton;
    bool centred = false;
    bool escapeClosed = false;
};

// Shows a box with `buttons`; once it shows, records it and presses Escape,
// then (if Escape did not close it) `press`. Returns the answer.
Answer Show(BoxKind kind, Buttons buttons, const QString& press, SeenBox& seen)
{
    mus::test::ModalAnswerer answer;
    answer.Add<QMessageBox>([&seen, press](QMessageBox* box) {
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        QList<QAbstractButton*> list = box->buttons();
        std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        for (QAbstractButton* b : list) seen.buttons << b->text();
        if (box->defaultButton() != nullptr) seen.defaultButton = box->defaultButton()->text();
        const QRect area = box->screen()->availableGeometry();
        seen.centred = qAbs(box->frameGeometry().center().x() - area.center().x()) <= 2 &&
                       qAbs(box->frameGeometry().center().y() - area.center().y()) <= 2;
        QTest::keyClick(box, Qt::Key_Escape);
        if (!box->isVisible()) {
            seen.escapeClosed = true;
            return;
        }
        for (QAbstractButton* b : list) {
            if (b->text() == press) b->click();
        }
    });
    const Answer shown = mus::desktop::MessageBox(nullptr, kind, QStringLiteral("Some text."), buttons);
    if (answer.Leftover() != 0) QTest::qFail("the box did not show once", __FILE__, __LINE__);
    return shown;
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<BoxKind>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::newRow("warning") << BoxKind::Warning << "Warning" << int(QMessageBox::Warning);
        QTest::newRow("error") << BoxKind::Error << "Error" << int(QMessageBox::Critical);
        QTest::newRow("information") << BoxKind::Information << "Information" << int(QMessageBox::Information);
        QTest::newRow("confirm") << BoxKind::Confirm << "Confirm" << int(QMessageBox::Question);
    }

    void kinds()
    {
        QFETCH(BoxKind, kind);
        QFETCH(QString, title);
        QFETCH(int, icon);
        SeenBox seen;
        const Answer answer = Show(kind, Buttons(Button::Ok), QStringLiteral("OK"), seen);
        QCOMPARE(seen.title, title);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.text, QStringLiteral("Some text."));
        QVERIFY(seen.centred);
        QCOMPARE(answer, Answer::Ok);
    }

    // clang-format off
    void buttons_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("defaultButton");
        QTest::addColumn<bool>("escapeCloses");
        QTest::addColumn<Answer>("escapeAnswer");
        QTest::newRow("OK") << int(Buttons(Button::Ok)) << QStringList{"OK"} << "OK" << true << Answer::Ok;
        QTest::newRow("Yes No") << int(Button::Yes | Button::No) << QStringList{"&Yes", "&No"} << "&Yes" << true
                                << Answer::No;
        QTest::newRow("Yes No, No default") << int((Button::Yes | Button::No) | mus::kNoIsDefault)
                                            << QStringList{"&Yes", "&No"} << "&No" << true << Answer::No;
        QTest::newRow("OK Cancel") << int(Button::Cancel | Button::Ok) << QStringList{"OK", "Cancel"} << "OK" << true
                                   << Answer::Cancel;
        QTest::newRow("Retry Cancel") << int(Button::Retry | Button::Cancel) << QStringList{"Cancel", "&Retry"}
                                      << "&Retry" << true << Answer::Cancel;
        QTest::newRow("Yes No Cancel") << int(Buttons(Button::Cancel | Button::No) | Buttons(Button::Yes))
                                       << QStringList{"&Yes", "&No", "Cancel"} << "&Yes" << true << Answer::Cancel;
        QTest::newRow("Abort Retry Ignore")
            << int(Buttons(Button::Ignore | Button::Retry) | Buttons(Button::Abort))
            << QStringList{"&Abort", "&Retry", "&Ignore"} << "&Retry" << false << Answer::Ok;
        QTest::newRow("Yes All No")
            << int(Buttons(Button::All | Button::No) | Buttons(Button::Yes)) << QStringList{"&Yes", "&No", "&All"}
            << "&Yes" << true << Answer::No;
    }
    // clang-format on

    // The fixed order whatever the desktop's, the default button, and what
    // Escape answers (nothing, when that button is missing).
    void buttons()
    {
        QFETCH(int, set);
        QFETCH(QStringList, order);
        QFETCH(QString, defaultButton);
        QFETCH(bool, escapeCloses);
        QFETCH(Answer, escapeAnswer);
        SeenBox seen;
        const Answer answer = Show(BoxKind::Confirm, Buttons(set), order.last(), seen);
        QCOMPARE(seen.buttons, order);
        QCOMPARE(seen.defaultButton, defaultButton);
        QCOMPARE(seen.escapeClosed, escapeCloses);
        if (escapeCloses) QCOMPARE(answer, escapeAnswer);
    }

    // Boxes without Cancel, No and OK, where Escape does nothing: each
    // button's click is its answer.
    void answers_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("press");
        QTest::addColumn<Answer>("answer");
        const int ari = int(Buttons(Button::Abort | Button::Retry) | Buttons(Button::Ignore));
        QTest::newRow("Yes") << int(Button::Yes | Button::All) << "&Yes" << Answer::Yes;
        QTest::newRow("All") << int(Button::Yes | Button::All) << "&All" << Answer::All;
        QTest::newRow("Abort") << ari << "&Abort" << Answer::Abort;
        QTest::newRow("Retry") << ari << "&Retry" << Answer::Retry;
        QTest::newRow("Ignore") << ari << "&Ignore" << Answer::Ignore;
    }

    void answers()
    {
        QFETCH(int, set);
        QFETCH(QString, press);
        QFETCH(Answer, answer);
        SeenBox seen;
        QCOMPARE(Show(BoxKind::Warning, Buttons(set), press, seen), answer);
        QVERIFY(!seen.escapeClosed);
    }

    void probeSeesSoundThenBox()
    {
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        probe.answers = {Answer::Retry};
        mus::desktop::PlaySound(mus::AlertSound::Stop);
        const Answer a = mus::desktop::MessageBox(nullptr, BoxKind::Error,
                                                  QStringLiteral("The phrases entered do not match."),
                                                  Button::Retry | Button::Cancel);
        mus::desktop::PlaySound(mus::AlertSound::Question);
        mus::desktop::PlaySound(mus::AlertSound::Exclamation);
        QCOMPARE(a, Answer::Retry);
        using mus::fake::SoundLine;
        const std::string box = mus::fake::BoxLine(BoxKind::Error, "Cancel Retry", "The phrases entered do not match.");
        QCOMPARE(log, (mus::fake::Log{SoundLine(mus::AlertSound::Stop), box, SoundLine(mus::AlertSound::Question),
                                      SoundLine(mus::AlertSound::Exclamation)}));
    }

    void busyCursorIsRestoredOnEveryWayOut()
    {
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        {
            mus::desktop::BusyCursorScope busy;
            QVERIFY(QGuiApplication::overrideCursor() != nullptr);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        const bool ok = mus::desktop::RunGuarded(nullptr, [] {
            mus::desktop::BusyCursorScope busy;
            throw std::runtime_error("Stream write error");
        });
        QVERIFY(!ok);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(log, mus::fake::Log{mus::test::ReportLine("Stream write error")});

        mus::desktop::BusyCursorScope released;
        released.Release();
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void guardedCallPassesSuccess()
    {
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        int runs = 0;
        QVERIFY(mus::desktop::RunGuarded(nullptr, [&runs] { ++runs; }));
        QCOMPARE(runs, 1);
        QVERIFY(log.empty());
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
