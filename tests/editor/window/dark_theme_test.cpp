// The window on a dark desktop and on a light one (Qt's Fusion style with a
// dark palette and with its own): what is drawn must stand out from what it
// is drawn on, judged from the pixels the window paints.
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "editor/dialogs/about_dialog.h"
#include "editor/icons/pictures.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "tests/support/window_parts.h"

using namespace mus::test;

namespace {

QPalette DarkPalette()
{
    QPalette p(QColor(53, 53, 53)); // buttons and window
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, QColor(238, 238, 238));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    return p;
}

// The contrast ratio of two colours, 1 to 21, as accessibility guidelines count it.
double Contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a) + 0.05, lb = luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

// How the ink inside `area` of `widget` stands out from the background
// (the most frequent colour): the ink most of it is drawn in (the next most
// frequent colour: the body of a large title, not its relief's edge), or
// its strongest pixel (small text has little but smoothed edges).
enum class Ink { Body, Strongest };

double InkContrast(QWidget* widget, const QRect& area, Ink ink)
{
    const QImage image = widget->grab(area).toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    QList<QRgb> colors = counts.keys();
    std::sort(colors.begin(), colors.end(), [&counts](QRgb a, QRgb b) { return counts[a] > counts[b]; });
    double strongest = 1;
    for (QRgb c : colors) strongest = std::max(strongest, Contrast(QColor(colors[0]), QColor(c)));
    if (ink == Ink::Strongest || colors.size() < 2) return strongest;
    return Contrast(QColor(colors[0]), QColor(colors[1]));
}

// The share of the icon's outline that shows on `background`: an outline
// pixel counts when it, or a pixel next to it, stands out from the
// background. An icon drawn only in dark strokes shows nothing on a dark
// toolbar.
double OutlineShowing(const QImage& icon, const QColor& background)
{
    QImage on(icon.size(), QImage::Format_RGB32);
    on.fill(background);
    QPainter(&on).drawImage(0, 0, icon);
    const QRect all = icon.rect();
    const auto opaque = [&](int x, int y) { return all.contains(x, y) && qAlpha(icon.pixel(x, y)) >= 128; };
    const auto standsOut = [&](int x, int y) {
        return all.contains(x, y) && qAlpha(icon.pixel(x, y)) >= 64 && Contrast(on.pixelColor(x, y), background) >= 1.5;
    };
    int outline = 0, showing = 0;
    for (int y = 0; y < all.height(); ++y) {
        for (int x = 0; x < all.width(); ++x) {
            if (!opaque(x, y) || (opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1)))
                continue;
            ++outline;
            bool shows = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) shows = shows || standsOut(x + dx, y + dy);
            showing += shows ? 1 : 0;
        }
    }
    return outline == 0 ? 0 : double(showing) / outline;
}

} // namespace

class DarkThemeTest : public QObject {
    Q_OBJECT

    static void UsePalette(const QString& desktop)
    {
        QApplication::setPalette(desktop == "dark" ? DarkPalette() : QApplication::style()->standardPalette());
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(mus::SettingsStore::DefaultPath());
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }

    void cleanup() { UsePalette("light"); }

    // The status fields, the editor's text and the About title, on a desktop
    // that is dark when the window opens or turns dark while it is open.
    // clang-format off
    void windowTextStandsOut_data()
    {
        QTest::addColumn<QString>("atStart");
        QTest::addColumn<QString>("later");
        QTest::newRow("light") << "light" << "light";
        QTest::newRow("dark") << "dark" << "dark";
        QTest::newRow("turned dark") << "light" << "dark";
        QTest::newRow("turned light") << "dark" << "light";
    }
    // clang-format on

    void windowTextStandsOut()
    {
        QFETCH(QString, atStart);
        QFETCH(QString, later);
        UsePalette(atStart);
        frm_CText window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        UsePalette(later);
        QCoreApplication::processEvents(); // the change reaches the windows posted
        // The find bar's note, too.
        MenuItem(window, "Replace1")->trigger();
        Part<QLineEdit>(window, "txt_Find")->setText(QStringLiteral("nowhere"));
        MenuItem(window, "FindNext1")->trigger();
        for (QLabel* field :
             {Panel(window, "pan_Bytes"), Panel(window, "pan_TextType"), Panel(window, "lab_FindNote")}) {
            const double contrast = InkContrast(field, field->contentsRect(), Ink::Strongest);
            QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(field->objectName()).arg(contrast)));
        }
        // The default colours are the desktop's, whenever it changes them.
        const QPalette shown = Editor(window)->palette();
        for (const auto role : {QPalette::Text, QPalette::Base, QPalette::Highlight})
            QCOMPARE(shown.color(role), QApplication::palette().color(role));
        // The About box's title in relief: the body of its letters, not the edge of their copy.
        frm_About about(&window);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const double title = InkContrast(&about, about.ProductName->geometry(), Ink::Body);
        QVERIFY2(title >= 4.5, qPrintable(QStringLiteral("About title: %1").arg(title)));
    }

    // The program's own toolbar icons, drawn where the desktop has none.
    void toolbarIconsShowOnEitherToolbar()
    {
        // Each picture at 16 pixels and at 32 for screens at twice the scale;
        // the outline is judged on the 16-pixel one, where one pixel is one
        // pixel of the screen's scale.
        const auto* const end = mus::pictures::kEntries + mus::pictures::kEntryCount;
        QCOMPARE(std::count_if(mus::pictures::kEntries, end,
                               [](const auto& e) { return std::string(e.name).rfind("toolbar/", 0) == 0; }),
                 22);
        for (const char* name :
             {"new", "open", "save", "cut", "copy", "paste", "select-all", "delete", "undo", "encrypt", "decrypt"}) {
            const std::string picture = std::string("toolbar/") + name;
            QCOMPARE(mus::BuiltPicture(picture.c_str(), 32).size(), QSize(32, 32));
            const QImage icon = mus::BuiltPicture(picture.c_str(), 16);
            QCOMPARE(icon.size(), QSize(16, 16));
            for (const QColor& toolbar : {QApplication::style()->standardPalette().color(QPalette::Window),
                                          DarkPalette().color(QPalette::Window)}) {
                const double showing = OutlineShowing(icon, toolbar);
                QVERIFY2(
                    showing >= 0.75,
                    qPrintable(
                        QStringLiteral("%1 on %2: %3").arg(QString::fromLatin1(name), toolbar.name()).arg(showing)));
            }
        }
    }
};

QTEST_MAIN(DarkThemeTest)
#include "dark_theme_test.moc"
