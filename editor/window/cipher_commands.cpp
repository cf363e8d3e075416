// Encrypt, Encrypt With Specific Method and Decrypt.
#include "cipher/commands/decrypt_command.h"
#include "cipher/commands/encrypt_command.h"
#include "editor/window/main_window.h"
#include "editor/window/window_command_ui.h"

void frm_CText::btn_EncryptClick()
{
    mus::WindowDocument document(Document());
    mus::EncryptCommand(User(), document, AskForMethod, Method02Costs);
}

void frm_CText::EncryptUsingMethod1Click()
{
    AskForMethod = true;
    btn_EncryptClick();
}

void frm_CText::btn_DecryptClick()
{
    // The text Decrypt puts in is decrypted text.
    mus::WindowDocument document(Document(), &DecryptedText());
    mus::DecryptCommand(User(), document);
}
