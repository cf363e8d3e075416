#include "editor/dialogs/about_dialog.h"

#include <QDate>
#include <QFontMetrics>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QSysInfo>

#include <algorithm>

#include "cipher/methods.h"
#include "editor/desktop/desktop.h"
#include "editor/desktop/fonts.h"
#include "editor/settings/settings_store.h"
#include "editor/window/reader_page.h"

namespace {

constexpr int kColumnX = 248;
constexpr int kColumnWidth = 217;
constexpr int kMargin = 8;
constexpr int kLineHeight = 16;
constexpr int kPlatformY = 200;
constexpr int kPlatformCaptionX = 344;
constexpr int kPlatformX = 430;
constexpr int kCaptionGap = 4;

// A text that does not fit its box in the face that stands in for the design
// face is drawn smaller, never cut off.
void FitWidth(QLabel* label, int width)
{
    QFont font = label->font();
    while (label->fontMetrics().horizontalAdvance(label->text()) > width && font.pixelSize() > 9) {
        font.setPixelSize(font.pixelSize() - 1);
        label->setFont(font);
    }
}

QLabel* ColumnLine(QWidget* parent, const QString& text, int y, const char* name)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(kColumnX, y, kColumnWidth, 16);
    FitWidth(label, kColumnWidth);
    return label;
}

// The product name in relief: drawn twice, the copy behind one pixel down
// and to the right. One label, so a screen reader finds the name once. On a
// light desktop the design's black on white; on a dark one the desktop's
// light text on black, so that the title stands out there too.
class ReliefTitle final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QColor desktopText = palette().color(QPalette::WindowText);
        const bool darkDesktop = desktopText.lightnessF() > 0.5;
        const QRect box = contentsRect().adjusted(0, 0, -1, -1);
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(darkDesktop ? QColor(Qt::black) : QColor(Qt::white));
        painter.drawText(box.translated(1, 1), int(alignment()), text());
        painter.setPen(darkDesktop ? desktopText : QColor(Qt::black));
        painter.drawText(box, int(alignment()), text());
    }
};

// "Reads and writes Methods 00, 01 and 02.": every method this version knows.
QString MethodsLine()
{
    QStringList fields;
    for (const mus::MethodInfo& method : mus::kMethods)
        fields << QString::fromLatin1(method.field.data(), static_cast<qsizetype>(method.field.size()));
    const QString last = fields.takeLast();
    return QStringLiteral("Reads and writes Methods %1 and %2.").arg(fields.join(QStringLiteral(", ")), last);
}

QPixmap Picture()
{
    QPixmap picture(223, 173);
    picture.fill(QColor(0x1f, 0x2a, 0x44));
    QPainter painter(&picture);
    const QIcon icon(QStringLiteral(":/icons/murmurscript.svg"));
    icon.paint(&painter, QRect(47, 8, 128, 128));
    QFont font(QString::fromLatin1(mus::kEditorFace));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(QColor(0xd8, 0xe0, 0xf0));
    painter.drawText(QRect(0, 140, 223, 30), Qt::AlignCenter, QStringLiteral("MuS/0120/01/0/3\nCx2uq"));
    return picture;
}

} // namespace

frm_About::frm_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frm_About"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(474, 227);
    setFont(mus::DesignFontPixels(mus::kAboutFace, 13));
    if (parent != nullptr) setWindowModality(Qt::WindowModal);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pan_Picture"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setGeometry(8, 8, 225, 175);
    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("img_Picture"));
    picture->setGeometry(1, 1, 223, 173);
    picture->setPixmap(Picture());

    AddProductName();
    AddColumn();
    QLabel* platformCaption = AddPlatformLine();
    AddOkButton();
    AddReaderPageLine();

    lab_Version->setText(VersionText());
    lab_Platform->setText(PlatformText());
    PlacePlatformLine(platformCaption);
    mus::desktop::CentreOnScreen(*this);
}

void frm_About::AddProductName()
{
    ProductName = new ReliefTitle(QStringLiteral("Murmurscript"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont title = mus::DesignFontPixels(mus::kTitleFace, 29);
    title.setStyleHint(QFont::Serif);
    title.setBold(true);
    title.setItalic(true);
    ProductName->setFont(title);
    ProductName->setAlignment(Qt::AlignCenter);
    FitWidth(ProductName, 210);
    // The text's box 210 x 33 at (252, 8), and its copy's one pixel down and
    // to the right.
    ProductName->setGeometry(252, 8, 211, 34);
}

// The lines under the title: version, methods, licence and the settings file.
void frm_About::AddColumn()
{
    lab_Version = new QLabel(this);
    lab_Version->setObjectName(QStringLiteral("lab_Version"));
    lab_Version->setFont(mus::DesignFontPoints(mus::kPanelFace, 8));
    lab_Version->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lab_Version->setGeometry(kColumnX, 48, kColumnWidth, 17);

    ColumnLine(this, MethodsLine(), 64, "lab_Methods");
    auto* separator = new QFrame(this);
    separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    separator->setGeometry(kColumnX, 93, kColumnWidth, 2);
    ColumnLine(this, QStringLiteral("Free software: GPL-3.0-or-later."), 112, "lab_Licence");
    ColumnLine(this, QStringLiteral("It comes with NO WARRANTY."), 128, "lab_Warranty");
    const QString settings = mus::SettingsStore::DefaultPath();
    ColumnLine(this, QStringLiteral("Settings: $XDG_CONFIG_HOME/"), 152, "lab_Settings")->setToolTip(settings);
    ColumnLine(this, QStringLiteral("Murmurscript/MUS.INI (~/.config)"), 168, "lab_Settings2")->setToolTip(settings);
}

// Under the design's box, the SHA-256 of the reader page this version ships,
// so that a recipient can check the page they were sent; selectable, to be
// copied.
void frm_About::AddReaderPageLine()
{
    const QString digest = mus::ReaderPageDigest();
    if (digest.isEmpty()) return;
    constexpr int kTop = 230;
    constexpr int kHeight = 32;
    lab_ReaderPage = new QLabel(QStringLiteral("Reader page SHA-256:\n") + digest, this);
    lab_ReaderPage->setObjectName(QStringLiteral("lab_ReaderPage"));
    QFont mono(QString::fromLatin1(mus::kEditorFace));
    mono.setStyleHint(QFont::TypeWriter);
    // The digest on one line: a wider face is drawn smaller, never cut off.
    for (int size = 11; size >= 8; --size) {
        mono.setPixelSize(size);
        if (QFontMetrics(mono).horizontalAdvance(digest) <= width() - 2 * kMargin) break;
    }
    lab_ReaderPage->setFont(mono);
    lab_ReaderPage->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lab_ReaderPage->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lab_ReaderPage->setAccessibleName(QStringLiteral("Reader page SHA-256"));
    lab_ReaderPage->setGeometry(kMargin, kTop, width() - 2 * kMargin, kHeight);
    setFixedSize(width(), kTop + kHeight + kMargin);
}

// The caption "Version Platform:" and lab_Platform; returns the caption.
QLabel* frm_About::AddPlatformLine()
{
    auto* caption = new QLabel(QStringLiteral("Version Platform:"), this);
    caption->setObjectName(QStringLiteral("lab_PlatformCaption"));
    lab_Platform = new QLabel(this);
    lab_Platform->setObjectName(QStringLiteral("lab_Platform"));
    QFont bold = font();
    bold.setBold(true);
    lab_Platform->setFont(bold);
    return caption;
}

void frm_About::AddOkButton()
{
    cmd_OK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    cmd_OK->setObjectName(QStringLiteral("cmd_OK"));
    cmd_OK->setGeometry(191, 194, 90, 27);
    cmd_OK->setDefault(true);
    cmd_OK->setFocus();
    connect(cmd_OK, &QPushButton::clicked, this, &QDialog::accept);
}

// The caption and the platform text stand at their design places (344 and
// 430) where they fit. A wider face moves them left, the text keeping the
// dialog's margin from the right edge, so that neither is cut nor drawn
// smaller; the caption never reaches the OK button.
void frm_About::PlacePlatformLine(QLabel* caption)
{
    const int textWidth = lab_Platform->sizeHint().width();
    const int textX = std::min(kPlatformX, width() - kMargin - textWidth);
    lab_Platform->setGeometry(textX, kPlatformY, textWidth, kLineHeight);

    const int captionRight = textX - kCaptionGap;
    const int leftmost = cmd_OK->geometry().right() + 1 + kMargin;
    const int captionX = std::max(leftmost, std::min(kPlatformCaptionX, captionRight - caption->sizeHint().width()));
    caption->setGeometry(captionX, kPlatformY, captionRight - captionX, kLineHeight);
    FitWidth(caption, caption->width());
}

QString frm_About::VersionText()
{
    const QDate released = QDate::fromString(QStringLiteral(MUS_RELEASE_DATE), Qt::ISODate);
    return QStringLiteral("Version " MUS_VERSION " - ") +
           QLocale::c().toString(released, QStringLiteral("MMM d, yyyy"));
}

QString frm_About::PlatformText()
{
    return QStringLiteral("%1-bit").arg(QSysInfo::WordSize);
}

void frm_About::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
