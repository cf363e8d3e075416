#include "editor/method_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "editor/desktop.h"
#include "editor/dialog_parts.h"

frm_EncodeMethod::frm_EncodeMethod(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    const QFont normal = mus::dialog::SetUp(*this, "frm_EncodeMethod", QStringLiteral("Encoding Method"), QSize(317, 150));
    Bevel1 = mus::dialog::Bevel(this, QRect(8, 8, 300, 97));

    const auto choice = [this](const char* name, const char* caption, int y) {
        auto* radio = new QRadioButton(QString::fromLatin1(caption), this);
        radio->setObjectName(QString::fromLatin1(name));
        radio->move(24, y);
        radio->resize(radio->sizeHint());
        return radio;
    };
    const auto note = [this, &normal](const char* name, const char* text, int y) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(normal);
        label->move(42, y);
        label->resize(label->sizeHint());
        return label;
    };
    RadioButton1 = choice("RadioButton1", "Method 00", 24);
    Label1 = note("Label1", "Requires version 1.0 or higher to decrypt.", 40);
    RadioButton2 = choice("RadioButton2", "Method 01", 64);
    Label2 = note("Label2", "Requires version 1.1 or higher to decrypt.", 80);
    // Radio buttons of one parent form one group.
    RadioButton2->setChecked(true);

    HelpBtn = mus::dialog::HelpButton(this, normal, 8, 116);
    CancelBtn = mus::dialog::CancelButton(this, normal, 162, 116);
    OKBtn = mus::dialog::OkButton(this, normal, 238, 116);
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

void frm_EncodeMethod::OKBtnClick()
{
    if (RadioButton1->isChecked()) {
        ChosenMethod = 0;
    } else if (RadioButton2->isChecked()) {
        ChosenMethod = 1;
    } else {
        mus::desktop::MessageBox(this, mus::BoxKind::Error, QStringLiteral("You must choose an encoding method."),
                                 mus::ButtonSet(mus::Button::Ok));
        return;
    }
    accept();
}

void frm_EncodeMethod::HelpBtnClick()
{
    mus::desktop::HelpJump(QStringLiteral("Help_EncodingMethod"));
}
