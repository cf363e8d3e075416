// What a screen reader finds: every window of the program walked through its
// accessible tree, as the accessibility bridge walks it.
#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include "editor/desktop/desktop.h"
#include "editor/desktop/help_viewer.h"
#include "editor/dialogs/about_dialog.h"
#include "editor/dialogs/go_to_line_dialog.h"
#include "editor/dialogs/method_dialog.h"
#include "editor/dialogs/phrase_dialog.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/window_parts.h"

using namespace mus::test;

namespace {

// Under `item`: every control without a name, and the texts shown.
void Walk(QAccessibleInterface* item, QStringList& unnamed, QStringList& texts)
{
    static const QList<QAccessible::Role> kControls{
        QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::Slider,     QAccessible::ButtonMenu,   QAccessible::ButtonDropDown,
        QAccessible::MenuItem,   QAccessible::PageTab,      QAccessible::List,
        QAccessible::Link};
    for (int i = 0; i < item->childCount(); ++i) {
        QAccessibleInterface* child = item->child(i);
        const QString name = child->text(QAccessible::Name);
        if ((kControls.contains(child->role()) || child->state().focusable) && name.trimmed().isEmpty())
            unnamed << QStringLiteral("%1 %2").arg(child->object()->metaObject()->className(),
                                                   child->object()->objectName());
        if (child->role() == QAccessible::StaticText && !name.isEmpty()) texts << name;
        Walk(child, unnamed, texts);
    }
}

// What is wrong with `top` for a screen reader: its role and name as a
// window, unnamed controls, texts said twice.
QStringList Problems(QWidget* top)
{
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(top);
    QStringList problems, texts;
    if (root->role() != QAccessible::Window && root->role() != QAccessible::Dialog)
        problems << QStringLiteral("top level's role %1").arg(int(root->role()));
    if (root->text(QAccessible::Name).isEmpty()) problems << QStringLiteral("top level unnamed");
    Walk(root, problems, texts);
    for (const QString& text : texts) {
        if (texts.count(text) > 1) problems << QStringLiteral("twice: ") + text;
    }
    problems.removeDuplicates();
    return problems;
}

QString NameOf(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frm_CText> window_;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(mus::SettingsStore::DefaultPath());
        window_ = std::make_unique<frm_CText>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanupTestCase()
    {
        mus::desktop::CloseHelp();
        window_.reset();
    }

    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* w :
             {"main window", "find bar", "phrase dialog", "method dialog", "Go to Line", "About box", "help window"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }

    void everyControlHasAName()
    {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> dialog;
        if (window == "phrase dialog") {
            auto phrase = std::make_unique<frm_PWord>(window_.get());
            phrase->lab_PWord->setText(QStringLiteral("Re-enter phrase to confirm:")); // as its callers do
            dialog = std::move(phrase);
        }
        if (window == "method dialog") dialog = std::make_unique<frm_EncodeMethod>(window_.get());
        if (window == "About box") dialog = std::make_unique<frm_About>(window_.get());
        if (window == "Go to Line") { // showing its note
            auto go = std::make_unique<frm_GoToLine>(window_.get(), 1, 1);
            go->txt_Line->setText(QStringLiteral("9"));
            go->accept();
            dialog = std::move(go);
        }
        if (window == "find bar") { // in its replace form, showing a note
            MenuItem(*window_, "Replace1")->trigger();
            TypeText(Part<QLineEdit>(*window_, "txt_Find"), QStringLiteral("nowhere"));
        }
        if (window == "help window") QVERIFY(mus::desktop::ShowHelpSearch());
        QWidget* top = window_.get();
        if (dialog) top = dialog.get();
        if (window == "help window") top = mus::CurrentHelpWindow();
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        const QStringList problems = Problems(top);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    // The editor's name, and the phrase entry named by the prompt it shows.
    void entriesSayWhatTheyHold()
    {
        QCOMPARE(NameOf(Editor(*window_)), QStringLiteral("Document text"));
        frm_PWord phrase(window_.get());
        for (const QString& prompt : {QStringLiteral("Enter a phrase to password-protect (if desired):"),
                                      QStringLiteral("This text is password-protected.  Enter phrase:")}) {
            phrase.lab_PWord->setText(prompt);
            QCOMPARE(NameOf(phrase.txt_PWord), prompt);
        }
        QCOMPARE(phrase.lab_PWord->buddy(), phrase.txt_PWord);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
