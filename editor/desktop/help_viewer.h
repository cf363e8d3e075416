#pragma once
// The help viewer: a top-level window of its own (not modal) that shows the
// help built into the program: a contents page, topics reached by their ID,
// a keyword index with a search field, and a page on using help.

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUrl>

class QAction;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

namespace mus {

// One page of the help: its title, keywords and the topic IDs it holds.
struct HelpPage {
    QUrl url;
    QString title;
    QStringList keywords;
    QStringList topicIds;
};

// Reads every page of the help under `root` (":/help").
QList<HelpPage> ReadHelpPages(const QString& root);

class HelpWindow final : public QMainWindow {
    Q_OBJECT

public:
    // `helpFile` is the help file's name; only the built-in "MUS.HLP" exists.
    explicit HelpWindow(const QString& helpFile, QWidget* parent = nullptr);

    const QString& HelpFileName() const { return helpFile_; }

    // Each shows the window; false when the help file was not found.
    bool ShowContents();
    bool ShowSearch();
    bool ShowHelpOnHelp();
    // False when no page holds the topic.
    bool ShowTopic(const QString& topicId);

protected:
    // The arrow and page keys in the keyword field move through the index.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The toolbar's buttons: their actions.
    struct Buttons {
        QAction* contents = nullptr;
        QAction* search = nullptr;
        QAction* back = nullptr;
        QAction* forward = nullptr;
        QAction* howTo = nullptr;
    };

    // The parts of the window, in the order they are made.
    Buttons BuildToolbar();
    void BuildIndexAndPage(); // the keyword index beside the page
    void Connect(const Buttons& buttons);

    void Present();
    void FillIndex(const QString& filter);
    void OpenIndexEntry();
    void ShowMissingFile();

    QString helpFile_;
    bool found_ = false;
    QList<HelpPage> pages_;
    QTextBrowser* browser_ = nullptr;
    QWidget* indexPanel_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QListWidget* index_ = nullptr;
};

// The open help window, if any (tests).
HelpWindow* CurrentHelpWindow();

} // namespace mus
