#include "editor/desktop/help_viewer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

#include "editor/desktop/desktop.h"
#include "editor/window/reader_page.h"

namespace {

// The help's pages name the reader page this build ships by its SHA-256,
// which the build computes: the browser puts it where a page says
// @READER_PAGE_SHA256@.
class HelpBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override
    {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::HtmlResource) return resource;
        QString html = resource.typeId() == QMetaType::QByteArray ? QString::fromUtf8(resource.toByteArray())
                                                                  : resource.toString();
        static const QString mark = QStringLiteral("@READER_PAGE_SHA256@");
        if (!html.contains(mark)) return resource;
        const QString digest = mus::ReaderPageDigest();
        return html.replace(mark, digest.isEmpty() ? QStringLiteral("(this build has no reader page)") : digest);
    }
};

} // namespace

static void InitHelpResource()
{
    Q_INIT_RESOURCE(help);
}

namespace mus {

namespace {

const QString kRoot = QStringLiteral(":/help");
const QString kContentsPage = QStringLiteral("contents.html");
const QString kHelpOnHelpPage = QStringLiteral("howto.html");

QUrl PageUrl(const QString& name)
{
    return QUrl(QStringLiteral("qrc:/help/") + name);
}

} // namespace

QList<HelpPage> ReadHelpPages(const QString& root)
{
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression keywords(QStringLiteral("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\""));
    static const QRegularExpression anchor(QStringLiteral("<a\\s+(?:name|id)=\"(Help_[A-Za-z0-9_]+)\""));

    QList<HelpPage> pages;
    const QDir dir(root);
    const QStringList names = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QString html = QString::fromUtf8(file.readAll());
        HelpPage page;
        page.url = QUrl(QStringLiteral("qrc") + dir.filePath(name));
        if (const auto m = title.match(html); m.hasMatch()) page.title = m.captured(1).simplified();
        if (const auto m = keywords.match(html); m.hasMatch()) {
            for (const QString& k : m.captured(1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                if (!k.trimmed().isEmpty()) page.keywords << k.trimmed();
            }
        }
        for (auto it = anchor.globalMatch(html); it.hasNext();) page.topicIds << it.next().captured(1);
        pages << page;
    }
    return pages;
}

// A main window of its own, so that a screen reader finds a window there.
HelpWindow::HelpWindow(const QString& helpFile, QWidget* parent) : QMainWindow(parent), helpFile_(helpFile)
{
    InitHelpResource();
    setObjectName(QStringLiteral("frm_Help"));
    setWindowTitle(QStringLiteral("Murmurscript Help"));
    resize(780, 520);

    found_ = helpFile.compare(QLatin1String(desktop::kHelpFileName), Qt::CaseInsensitive) == 0;
    if (found_) pages_ = ReadHelpPages(kRoot);

    const Buttons buttons = BuildToolbar();
    BuildIndexAndPage();
    Connect(buttons);

    if (found_) {
        FillIndex({});
        // Never narrower than the longest entry of the whole index: every
        // entry shows whole, and the list keeps its width while the user types.
        index_->setMinimumWidth(index_->sizeHintForColumn(0) + 2 * index_->frameWidth() +
                                index_->verticalScrollBar()->sizeHint().width());
    } else {
        ShowMissingFile();
    }
}

HelpWindow::Buttons HelpWindow::BuildToolbar()
{
    auto* toolbar = new QToolBar(QStringLiteral("Help"), this);
    toolbar->setObjectName(QStringLiteral("HelpToolbar"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar);
    // Qt's button for the buttons a narrow window cannot hold has no name.
    if (auto* more = toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("More buttons"));
        more->setToolTip(more->accessibleName());
    }
    Buttons b;
    b.contents = toolbar->addAction(QStringLiteral("&Contents"));
    b.search = toolbar->addAction(QStringLiteral("&Index"));
    b.back = toolbar->addAction(QStringLiteral("&Back"));
    b.forward = toolbar->addAction(QStringLiteral("&Forward"));
    b.howTo = toolbar->addAction(QStringLiteral("&How to Use Help"));
    // Tool buttons take no focus, so each has a key of its own: the Alt+letter
    // its caption marks, and the usual keys for Back and Forward.
    for (QAction* a : {b.contents, b.search, b.howTo}) a->setShortcut(QKeySequence::mnemonic(a->text()));
    b.back->setShortcuts(QKeySequence::Back);
    b.forward->setShortcuts(QKeySequence::Forward);
    for (QAction* a : {b.contents, b.search, b.back, b.forward, b.howTo}) {
        a->setToolTip(QStringLiteral("%1 (%2)").arg(a->iconText(), a->shortcut().toString(QKeySequence::NativeText)));
    }
    return b;
}

void HelpWindow::BuildIndexAndPage()
{
    indexPanel_ = new QWidget(this);
    indexPanel_->setObjectName(QStringLiteral("HelpIndexPanel"));
    auto* label = new QLabel(QStringLiteral("&Type the first letters of the word you are looking for:"), indexPanel_);
    label->setWordWrap(true);
    keyword_ = new QLineEdit(indexPanel_);
    keyword_->setObjectName(QStringLiteral("edt_HelpKeyword"));
    label->setBuddy(keyword_);
    index_ = new QListWidget(indexPanel_);
    index_->setObjectName(QStringLiteral("lst_HelpIndex"));
    index_->setAccessibleName(QStringLiteral("Index"));
    auto* indexLayout = new QVBoxLayout(indexPanel_);
    indexLayout->addWidget(label);
    indexLayout->addWidget(keyword_);
    indexLayout->addWidget(index_);

    browser_ = new HelpBrowser(this);
    browser_->setObjectName(QStringLiteral("txt_Help"));
    browser_->setOpenExternalLinks(true);
    browser_->setAccessibleName(QStringLiteral("Help page"));

    auto* splitter = new QSplitter(this);
    splitter->addWidget(indexPanel_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 520});
    indexPanel_->hide();
    setCentralWidget(splitter);
}

void HelpWindow::Connect(const Buttons& b)
{
    connect(b.contents, &QAction::triggered, this, [this] { ShowContents(); });
    connect(b.search, &QAction::triggered, this, [this] { ShowSearch(); });
    connect(b.back, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(b.forward, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(b.howTo, &QAction::triggered, this, [this] { ShowHelpOnHelp(); });
    connect(browser_, &QTextBrowser::backwardAvailable, b.back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, b.forward, &QAction::setEnabled);
    b.back->setEnabled(false);
    b.forward->setEnabled(false);
    connect(keyword_, &QLineEdit::textChanged, this, &HelpWindow::FillIndex);
    connect(keyword_, &QLineEdit::returnPressed, this, &HelpWindow::OpenIndexEntry);
    keyword_->installEventFilter(this);
    connect(index_, &QListWidget::itemActivated, this, &HelpWindow::OpenIndexEntry);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == keyword_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: QCoreApplication::sendEvent(index_, event); return true;
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void HelpWindow::Present()
{
    // A help window the user minimized comes back, keeping its other state.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void HelpWindow::ShowMissingFile()
{
    browser_->setHtml(
        QStringLiteral("<h2>Help</h2><p>Cannot find the help file <b>%1</b>.</p>").arg(helpFile_.toHtmlEscaped()));
}

bool HelpWindow::ShowContents()
{
    Present();
    if (!found_) return false;
    browser_->setSource(PageUrl(kContentsPage));
    return true;
}

bool HelpWindow::ShowSearch()
{
    Present();
    if (!found_) return false;
    if (browser_->source().isEmpty()) browser_->setSource(PageUrl(kContentsPage));
    indexPanel_->show();
    keyword_->clear();
    keyword_->setFocus();
    return true;
}

bool HelpWindow::ShowHelpOnHelp()
{
    Present();
    if (!found_) return false;
    browser_->setSource(PageUrl(kHelpOnHelpPage));
    return true;
}

bool HelpWindow::ShowTopic(const QString& topicId)
{
    for (const HelpPage& page : pages_) {
        if (!page.topicIds.contains(topicId)) continue;
        Present();
        QUrl url = page.url;
        url.setFragment(topicId);
        browser_->setSource(url);
        return true;
    }
    return false;
}

void HelpWindow::FillIndex(const QString& filter)
{
    struct Entry {
        QString keyword;
        QString title;
        QUrl url;
    };
    std::vector<Entry> entries;
    for (const HelpPage& page : pages_) {
        for (const QString& k : page.keywords) {
            if (filter.isEmpty() || k.contains(filter, Qt::CaseInsensitive))
                entries.push_back({k, page.title, page.url});
        }
    }
    // Words that begin with the typed letters come first, then the others.
    std::stable_sort(entries.begin(), entries.end(), [&filter](const Entry& a, const Entry& b) {
        const bool pa = a.keyword.startsWith(filter, Qt::CaseInsensitive);
        const bool pb = b.keyword.startsWith(filter, Qt::CaseInsensitive);
        if (pa != pb) return pa;
        return a.keyword.compare(b.keyword, Qt::CaseInsensitive) < 0;
    });
    index_->clear();
    for (const Entry& e : entries) {
        auto* item = new QListWidgetItem(e.keyword + QStringLiteral(" \u2014 ") + e.title, index_);
        item->setData(Qt::UserRole, e.url);
    }
    if (index_->count() > 0) index_->setCurrentRow(0);
}

void HelpWindow::OpenIndexEntry()
{
    if (const QListWidgetItem* item = index_->currentItem()) browser_->setSource(item->data(Qt::UserRole).toUrl());
}

namespace {
// The viewer, a top-level window without parent, lives until CloseHelp or
// until another help file is asked for.
std::unique_ptr<HelpWindow> g_help;
QString g_helpFile = QString::fromLatin1(desktop::kHelpFileName);

HelpWindow& Viewer()
{
    if (g_help == nullptr || g_help->HelpFileName() != g_helpFile) {
        g_help.reset();
        g_help = std::make_unique<HelpWindow>(g_helpFile);
    }
    return *g_help;
}
} // namespace

HelpWindow* CurrentHelpWindow()
{
    return g_help.get();
}

namespace desktop {

void SetHelpFile(const QString& name)
{
    g_helpFile = name;
}

bool ShowHelpContents()
{
    return Viewer().ShowContents();
}

bool ShowHelpSearch()
{
    return Viewer().ShowSearch();
}

bool ShowHelpOnHelp()
{
    return Viewer().ShowHelpOnHelp();
}

bool HelpJump(const QString& topicId)
{
    return ShowHelpContents() && Viewer().ShowTopic(topicId);
}

void CloseHelp()
{
    g_help.reset();
}

} // namespace desktop

} // namespace mus
