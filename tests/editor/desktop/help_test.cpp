// The help's content and its viewer: every page reachable and titled, every
// link resolving, every topic ID present once, the index and the search.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBrowser>

#include "editor/desktop/desktop.h"
#include "editor/desktop/help_viewer.h"
#include "tests/support/window_parts.h"

namespace {

QString ReadPage(const QUrl& url)
{
    QFile file(QLatin1Char(':') + url.path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

private:
    QList<mus::HelpPage> pages_;

private slots:
    void initTestCase()
    {
        // The viewer loads the help resource; read the pages it reads.
        mus::desktop::SetHelpFile(QStringLiteral("MUS.HLP"));
        QVERIFY(mus::desktop::ShowHelpContents());
        pages_ = mus::ReadHelpPages(QStringLiteral(":/help"));
        QVERIFY(pages_.size() >= 10);
    }

    void cleanup() { mus::desktop::SetHelpFile(QStringLiteral("MUS.HLP")); }

    void cleanupTestCase() { mus::desktop::CloseHelp(); }

    void everyPageHasTitleAndKeywords()
    {
        for (const mus::HelpPage& page : pages_) {
            QVERIFY2(!page.title.isEmpty(), qPrintable(page.url.toString()));
            QVERIFY2(!page.keywords.isEmpty(), qPrintable(page.url.toString()));
        }
    }

    void topicIdsExistOnce()
    {
        QStringList all;
        for (const mus::HelpPage& page : pages_) all += page.topicIds;
        QStringList expected = {"Help_EncodingMethod", "Help_Password1", "Help_Password2", "Help_Password3"};
        all.sort();
        QCOMPARE(all, expected);
    }

    // Every internal link leads to a page (and anchor) that exists, and every
    // page can be reached from the contents.
    void linksResolveAndReachEveryPage()
    {
        static const QRegularExpression link(QStringLiteral("<a href=\"([^\"#:]*)(?:#([^\"]*))?\""));
        QSet<QString> names;
        for (const mus::HelpPage& page : pages_) names << page.url.fileName();
        QSet<QString> reached = {QStringLiteral("contents.html")};
        QStringList queue = {QStringLiteral("contents.html")};
        while (!queue.isEmpty()) {
            const QString name = queue.takeFirst();
            const QString html = ReadPage(QUrl(QStringLiteral("qrc:/help/") + name));
            QVERIFY2(!html.isEmpty(), qPrintable(name));
            for (auto it = link.globalMatch(html); it.hasNext();) {
                const auto m = it.next();
                const QString target = m.captured(1);
                QVERIFY2(names.contains(target), qPrintable(name + QLatin1String(" -> ") + target));
                if (!m.captured(2).isEmpty()) {
                    const QString targetHtml = ReadPage(QUrl(QStringLiteral("qrc:/help/") + target));
                    QVERIFY2(targetHtml.contains(QStringLiteral("name=\"%1\"").arg(m.captured(2))),
                             qPrintable(target + QLatin1Char('#') + m.captured(2)));
                }
                if (!reached.contains(target)) {
                    reached << target;
                    queue << target;
                }
            }
        }
        QCOMPARE(reached, names);
    }

    // What the help must tell the user, each where a user would look for it.
    // clang-format off
    void coversWhatItMust_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("text");
        const char* const menuItems[] = {"New",
                                         "Open File",
                                         "Save File As",
                                         "Print",
                                         "Export as PDF",
                                         "Recent Files",
                                         "Clear List",
                                         "Encrypt With Specific Method",
                                         "Encrypt Selection",
                                         "Decrypt",
                                         "Decrypt in Place",
                                         "Exit"};
        for (const char* item : menuItems) QTest::newRow(item) << "action_menu.html" << QString::fromLatin1(item);
        for (const char* item : {"Undo", "Cut", "Copy", "Paste", "Delete", "Select All", "Find Next", "Find Previous",
                                 "Replace All", "Go to Line", "Passed the end; continued from the top.", "Not found."}) {
            QTest::newRow(item) << "edit_menu.html" << QString::fromLatin1(item);
        }
        for (const char* item : {"Font", "Text Color", "Background Color", "Word Wrap"}) {
            QTest::newRow(item) << "options_menu.html" << QString::fromLatin1(item);
        }
        for (const char* item : {"Contents", "Search for Help On", "How to Use Help", "Save Reader Page As", "About",
                                 "murmurscript-reader.html", "Share, then\nSafari"}) {
            QTest::newRow(item) << "help_menu.html" << QString::fromLatin1(item);
        }
        QTest::newRow("phrase prompts") << "phrase.html" << "Re-enter phrase to confirm:";
        QTest::newRow("methods") << "method.html" << "Method 00";
        QTest::newRow("block tag") << "block.html" << "MuS/";
        QTest::newRow("CRC warning") << "messages.html" << "CRC error.  Errors were present in the encrypted text.";
        QTest::newRow("early end") << "messages.html" << "terminated unexpectedly";
        QTest::newRow("capacity") << "messages.html" << "Text exceeds memo capacity.";
        QTest::newRow("read error") << "messages.html" << "Stream read error.";
        QTest::newRow("zero byte") << "messages.html" << "Only the text before it was loaded.";
        QTest::newRow("file dropped") << "action_menu.html" << "drop it from a file manager";
        QTest::newRow("file named at start") << "action_menu.html" << "murmurscript letter.mus";
        QTest::newRow("size limit") << "limits.html" << "22528";
        QTest::newRow("phrase in bytes") << "phrase.html" << "at most 16 bytes of its UTF-8 form";
        QTest::newRow("phrase limit in bytes") << "limits.html" << "16 bytes of its UTF-8 form";
        QTest::newRow("settings place") << "settings.html" << "$XDG_CONFIG_HOME/Murmurscript/MUS.INI";
        QTest::newRow("recent files kept") << "settings.html" << "RecentFiles=0";
        QTest::newRow("no protection") << "security.html" << "no protection against\na determined attacker";
        QTest::newRow("Method 02 advised") << "method.html" << "Use Method 02 for anything\nthat matters";
        QTest::newRow("forgotten phrase") << "security.html" << "A forgotten phrase cannot be recovered";
        QTest::newRow("damaged block")
            << "messages.html" << "The encrypted text is damaged or was altered.  Unable to decrypt this text.";
        QTest::newRow("phrase required") << "messages.html" << "A phrase is required to encrypt with Method 02.";
        QTest::newRow("licence") << "licence.html" << "GNU General Public License";
        QTest::newRow("clipboard delay key") << "settings.html" << "<code>ClipboardClearSeconds</code>";
        QTest::newRow("idle delay key") << "settings.html" << "<code>HideAfterIdleSeconds</code>";
        QTest::newRow("hidden note") << "security.html" << "Hidden while you were away.";
        QTest::newRow("typed over, kept") << "security.html" << "Text you typed over or deleted stays in the Undo history";
    }
    // clang-format on

    void coversWhatItMust()
    {
        QFETCH(QString, page);
        QFETCH(QString, text);
        const QString html = ReadPage(QUrl(QStringLiteral("qrc:/help/") + page)).simplified();
        QVERIFY2(html.contains(text.simplified()), qPrintable(page + QLatin1String(": ") + text));
    }

    // A phrase is measured in bytes everywhere: the pages, the index and the
    // manual page say so, none in characters.
    void phraseLengthIsInBytes()
    {
        QFile manual(QStringLiteral(MUS_MAN_DIR "/murmurscript.1"));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString man = QString::fromUtf8(manual.readAll()).simplified();
        QVERIFY(man.contains(QLatin1String("16 bytes in its UTF\\-8 form")));
        static const QRegularExpression characters(QStringLiteral("16[ -]characters?"));
        QVERIFY(!man.contains(characters));
        for (const mus::HelpPage& page : pages_) {
            QVERIFY2(!ReadPage(page.url).simplified().contains(characters), qPrintable(page.url.fileName()));
            QVERIFY(!page.keywords.contains(QStringLiteral("16 characters")));
        }
        QVERIFY(mus::desktop::ShowHelpSearch());
        auto* index = mus::CurrentHelpWindow()->findChild<QListWidget*>(QStringLiteral("lst_HelpIndex"));
        QVERIFY(!index->findItems(QStringLiteral("16 bytes"), Qt::MatchStartsWith).isEmpty());
    }

    // The index panel keeps a margin from the window's edge, and its list is
    // wide enough for every entry, at the window's first size.
    void indexShowsEntriesWhole()
    {
        mus::desktop::CloseHelp();
        QVERIFY(mus::desktop::ShowHelpSearch());
        mus::HelpWindow* help = mus::CurrentHelpWindow();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        auto* prompt = help->findChild<QWidget*>(QStringLiteral("HelpIndexPanel"))->findChild<QLabel*>();
        auto* index = help->findChild<QListWidget*>(QStringLiteral("lst_HelpIndex"));
        for (QWidget* w : std::initializer_list<QWidget*>{prompt, index}) QVERIFY(w->mapTo(help, QPoint()).x() >= 4);
        QVERIFY2(
            index->sizeHintForColumn(0) <= index->viewport()->width(),
            qPrintable(QStringLiteral("%1 > %2").arg(index->sizeHintForColumn(0)).arg(index->viewport()->width())));
    }

    // The jump shows the topic itself, not just the top of its page.
    void jumpScrollsToTheTopic()
    {
        mus::desktop::CloseHelp(); // also from a viewer that is not open yet
        QVERIFY(mus::desktop::HelpJump(QStringLiteral("Help_Password2")));
        auto* browser = mus::CurrentHelpWindow()->findChild<QTextBrowser*>(QStringLiteral("txt_Help"));
        QCOMPARE(browser->source().fragment(), QStringLiteral("Help_Password2"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
    }

    void keywordSearch()
    {
        QVERIFY(mus::desktop::ShowHelpSearch());
        mus::HelpWindow* help = mus::CurrentHelpWindow();
        auto* keyword = help->findChild<QLineEdit*>(QStringLiteral("edt_HelpKeyword"));
        auto* index = help->findChild<QListWidget*>(QStringLiteral("lst_HelpIndex"));
        QVERIFY(keyword != nullptr && index != nullptr);
        QVERIFY(keyword->text().isEmpty());
        const int all = index->count();
        QTest::keyClicks(keyword, QStringLiteral("CRC"));
        QVERIFY(index->count() > 0 && index->count() < all);
        QVERIFY(index->item(0)->text().startsWith(QLatin1String("CRC")));
        // The arrow keys pick an entry while the typing goes on in the field.
        QCOMPARE(index->currentRow(), 0);
        QTest::keyClick(keyword, Qt::Key_Down);
        QCOMPARE(index->currentRow(), 1);
        QCOMPARE(keyword->text(), QStringLiteral("CRC"));
        QTest::keyClick(keyword, Qt::Key_Return);
        QCOMPARE(mus::test::HelpPage(*help), index->item(1)->data(Qt::UserRole).toUrl());
        QVERIFY(mus::test::HelpPage(*help).fileName() != QLatin1String("contents.html"));
        const QString shown = ReadPage(mus::test::HelpPage(*help));
        QVERIFY(shown.contains(QLatin1String("CRC")));
    }

    // The help window's buttons take no focus; their keys reach them.
    void toolbarKeys()
    {
        mus::desktop::CloseHelp();
        QVERIFY(mus::desktop::ShowHelpContents());
        mus::HelpWindow* help = mus::CurrentHelpWindow();
        QVERIFY(QTest::qWaitForWindowActive(help));
        auto* index = help->findChild<QWidget*>(QStringLiteral("HelpIndexPanel"));
        QVERIFY(!index->isVisible());
        QTest::keyClick(help, Qt::Key_I, Qt::AltModifier);
        QVERIFY(index->isVisible());
        QTest::keyClick(help, Qt::Key_H, Qt::AltModifier);
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("howto.html"));
        QTest::keyClick(help, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("contents.html"));
        QTest::keyClick(help, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("howto.html"));
        QTest::keyClick(help, Qt::Key_C, Qt::AltModifier);
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("contents.html"));
    }

    // A help request brings back a help window the user minimized.
    void requestRestoresAMinimizedWindow()
    {
        QVERIFY(mus::desktop::ShowHelpContents());
        mus::HelpWindow* help = mus::CurrentHelpWindow();
        help->showMinimized();
        QVERIFY(help->isMinimized());
        QVERIFY(mus::desktop::HelpJump(QStringLiteral("Help_EncodingMethod")));
        QVERIFY(!help->isMinimized());
        QVERIFY(help->isVisible());
    }

    void missingHelpFileShowsTheViewersMessage()
    {
        mus::desktop::SetHelpFile(QStringLiteral("NOSUCH.HLP"));
        QVERIFY(!mus::desktop::ShowHelpContents());
        QVERIFY(!mus::desktop::HelpJump(QStringLiteral("Help_Password1")));
        auto* browser = mus::CurrentHelpWindow()->findChild<QTextBrowser*>(QStringLiteral("txt_Help"));
        QVERIFY(browser->toPlainText().contains(QLatin1String("NOSUCH.HLP")));
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
