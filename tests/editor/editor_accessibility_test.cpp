// What a screen reader finds: every window of the program walked through its
// accessible tree, as the accessibility bridge walks it.
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>

#include "editor/about_dialog.h"
#include "editor/desktop.h"
#include "editor/help_viewer.h"
#include "editor/main_window.h"
#include "editor/method_dialog.h"
#include "editor/phrase_dialog.h"
#include "editor/settings_store.h"

namespace {

bool IsControl(QAccessibleInterface* item)
{
    switch (item->role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
    case QAccessible::List:
    case QAccessible::Link:
        return true;
    default:
        return item->state().focusable;
    }
}

QString Describe(QAccessibleInterface* item)
{
    const QObject* object = item->object();
    return QStringLiteral("%1 %2 (role %3)")
        .arg(object != nullptr ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("-"),
             object != nullptr ? object->objectName() : QString())
        .arg(int(item->role()));
}

// Every control under `item` without a name, and every text shown twice.
void Walk(QAccessibleInterface* item, QStringList& unnamed, QStringList& texts)
{
    for (int i = 0; i < item->childCount(); ++i) {
        QAccessibleInterface* child = item->child(i);
        if (child == nullptr) continue;
        const QString name = child->text(QAccessible::Name);
        if (IsControl(child) && name.trimmed().isEmpty()) unnamed << Describe(child);
        if (child->role() == QAccessible::StaticText && !child->state().invisible) texts << name;
        Walk(child, unnamed, texts);
    }
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frm_CText> window_;

    // The top level's role and name, then every unnamed control, then every
    // text shown more than once.
    static QStringList Problems(QWidget* top)
    {
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(top);
        if (root == nullptr) return {QStringLiteral("no accessible interface")};
        QStringList problems, texts;
        if (root->role() != QAccessible::Window && root->role() != QAccessible::Dialog)
            problems << QStringLiteral("top level: role %1").arg(int(root->role()));
        if (root->text(QAccessible::Name).isEmpty()) problems << QStringLiteral("top level: no name");
        Walk(root, problems, texts);
        for (const QString& text : texts) {
            if (!text.isEmpty() && texts.count(text) > 1) problems << QStringLiteral("twice: ") + text;
        }
        problems.removeDuplicates();
        return problems;
    }

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
        for (const char* w : {"main window", "phrase dialog", "method dialog", "About box", "help window"}) {
            QTest::newRow(w) << QString::fromLatin1(w);
        }
    }

    void everyControlHasAName()
    {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> owned;
        QWidget* top = window_.get();
        if (window == "phrase dialog") {
            auto* phrase = new frm_PWord(window_.get());
            phrase->lab_PWord->setText(QStringLiteral("Re-enter phrase to confirm:"));
            owned.reset(phrase);
        } else if (window == "method dialog") {
            owned.reset(new frm_EncodeMethod(window_.get()));
        } else if (window == "About box") {
            owned.reset(new frm_About(window_.get()));
        } else if (window == "help window") {
            QVERIFY(mus::desktop::ShowHelpSearch());
            top = mus::CurrentHelpWindow();
        }
        if (owned) {
            owned->show();
            top = owned.get();
        }
        QVERIFY(QTest::qWaitForWindowExposed(top));
        const QStringList problems = Problems(top);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    // The names a screen reader says for the two text entries.
    void entriesSayWhatTheyHold()
    {
        const auto nameOf = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
        QCOMPARE(nameOf(window_->txt_CText), QStringLiteral("Document text"));
        frm_PWord phrase(window_.get());
        for (const QString& prompt : {QStringLiteral("Enter a phrase to password-protect (if desired):"),
                                     QStringLiteral("This text is password-protected.  Enter phrase:")}) {
            phrase.lab_PWord->setText(prompt);
            QCOMPARE(nameOf(phrase.txt_PWord), prompt);
        }
        QCOMPARE(phrase.lab_PWord->buddy(), phrase.txt_PWord);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "editor_accessibility_test.moc"
