// Font, Text Color, Background Color and Word Wrap, and the appearance
// settings read when the window is created and written when it is destroyed.
#include <QAction>
#include <QPlainTextEdit>

#include "editor/main_window.h"

void frm_CText::Font1Click()
{
}

void frm_CText::TextColor1Click()
{
}

void frm_CText::BackgroundColor1Click()
{
}

void frm_CText::WordWrap1Click()
{
    WordWrap1->setChecked(!WordWrap1->isChecked());
    const bool wrap = WordWrap1->isChecked();
    txt_CText->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    txt_CText->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

void frm_CText::LoadAppearance()
{
}

void frm_CText::SaveAppearance()
{
}
