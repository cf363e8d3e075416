// Encrypt, Encrypt With Specific Method and Decrypt.
#include "editor/main_window.h"

void frm_CText::btn_EncryptClick()
{
    AskForMethod = false;
}

void frm_CText::EncryptUsingMethod1Click()
{
    AskForMethod = true;
    btn_EncryptClick();
}

void frm_CText::btn_DecryptClick()
{
}
