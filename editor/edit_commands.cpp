// Undo, Cut, Copy, Paste, Delete and Select All.
#include "editor/main_window.h"

void frm_CText::btn_UndoClick()
{
}

void frm_CText::btn_CutClick()
{
}

void frm_CText::btn_CopyClick()
{
}

void frm_CText::btn_PasteClick()
{
}

void frm_CText::btn_DeleteClick()
{
}

void frm_CText::btn_SelectAllClick()
{
}
