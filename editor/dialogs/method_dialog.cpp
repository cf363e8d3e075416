#include "editor/dialogs/method_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "cipher/methods.h"
#include "editor/desktop/desktop.h"
#include "editor/dialogs/dialog_parts.h"

namespace {

constexpr int kFirstChoiceY = 24;
constexpr int kNoteOffset = 16; // from a choice down to its note
constexpr int kNoteLine = 13;   // a note of one line, in the design face
constexpr int kChoiceGap = 11;  // from a note down to the next choice
constexpr int kBevelBelow = 12; // from the last note down to the bevel's edge
constexpr int kChoiceX = 24;
constexpr int kNoteX = 42;
constexpr int kMargin = 8;
constexpr int kWidth = 317;
constexpr int kButtonGap = 11; // from the bevel down to the buttons
constexpr int kButtonHeight = 27;
constexpr int kBottomMargin = 7;

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

frm_EncodeMethod::frm_EncodeMethod(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    const QFont normal = mus::dialog::SetUp(*this, "frm_EncodeMethod", QStringLiteral("Encoding Method"),
                                            QSize(kWidth, 150));
    Bevel1 = mus::dialog::Bevel(this, QRect());

    // One choice per method, each note below its choice; a note too long for
    // the frame's width takes a second line.
    const int noteWidth = kWidth - kMargin - 2 - kNoteX;
    int y = kFirstChoiceY;
    int notesEnd = y;
    for (const mus::MethodInfo& method : mus::kMethods) {
        const QString number = QString::number(choices_.size() + 1);
        auto* radio = new QRadioButton(Text(method.name), this);
        radio->setObjectName(QStringLiteral("RadioButton") + number);
        radio->move(kChoiceX, y);
        radio->resize(radio->sizeHint());
        auto* note = new QLabel(Text(method.note), this);
        note->setObjectName(QStringLiteral("Label") + number);
        note->setFont(normal);
        note->setWordWrap(true);
        note->setGeometry(kNoteX, y + kNoteOffset, noteWidth, std::max(kNoteLine, note->heightForWidth(noteWidth)));
        choices_.push_back({radio, method.code});
        notesEnd = note->geometry().bottom() + 1;
        y = notesEnd + kChoiceGap;
    }
    // The frame holds every choice; the buttons stand below it.
    Bevel1->setGeometry(kMargin, kMargin, kWidth - 2 * kMargin - 1, notesEnd + kBevelBelow - kMargin);
    const int buttonsY = Bevel1->geometry().bottom() + 1 + kButtonGap;
    setFixedSize(kWidth, buttonsY + kButtonHeight + kBottomMargin);
    mus::desktop::CentreOnScreen(*this);

    RadioButton1 = findChild<QRadioButton*>(QStringLiteral("RadioButton1"));
    Label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    RadioButton2 = findChild<QRadioButton*>(QStringLiteral("RadioButton2"));
    Label2 = findChild<QLabel*>(QStringLiteral("Label2"));
    RadioButton3 = findChild<QRadioButton*>(QStringLiteral("RadioButton3"));
    Label3 = findChild<QLabel*>(QStringLiteral("Label3"));
    // Radio buttons of one parent form one group.
    CheckMethod(mus::kMethod01);

    HelpBtn = mus::dialog::HelpButton(this, normal, 8, buttonsY);
    CancelBtn = mus::dialog::CancelButton(this, normal, 162, buttonsY);
    OKBtn = mus::dialog::OkButton(this, normal, 238, buttonsY);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));

    connect(OKBtn, &QPushButton::clicked, this, [this] { mus::desktop::RunGuarded(this, [this] { OKBtnClick(); }); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this,
            [this] { mus::desktop::RunGuarded(this, [this] { HelpBtnClick(); }); });
}

void frm_EncodeMethod::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
}

void frm_EncodeMethod::CheckMethod(std::int32_t code)
{
    for (const Choice& choice : choices_)
        if (choice.method == code) choice.radio->setChecked(true);
}

void frm_EncodeMethod::OKBtnClick()
{
    for (const Choice& choice : choices_) {
        if (choice.radio->isChecked()) {
            ChosenMethod = choice.method;
            accept();
            return;
        }
    }
    mus::desktop::MessageBox(this, mus::BoxKind::Error, QStringLiteral("You must choose an encoding method."),
                             mus::ButtonSet(mus::Button::Ok));
}

void frm_EncodeMethod::HelpBtnClick()
{
    mus::desktop::HelpJump(QStringLiteral("Help_EncodingMethod"));
}
