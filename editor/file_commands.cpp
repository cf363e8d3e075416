// New, Open, Save and Exit.
#include "editor/main_window.h"

void frm_CText::btn_NewClick()
{
}

void frm_CText::btn_OpenClick()
{
}

void frm_CText::btn_SaveClick()
{
}

void frm_CText::Exit1Click()
{
    close();
}
