// Encrypt, Encrypt With Specific Method, Encrypt Selection, Decrypt and
// Decrypt in Place.
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

void frm_CText::EncryptSelection1Click()
{
    mus::WindowDocument document(Document());
    mus::EncryptSelectionCommand(User(), document, Method02Costs);
}

void frm_CText::DecryptInPlace1Click()
{
    // The text Decrypt in Place puts in is decrypted text, as Decrypt's is.
    mus::WindowDocument document(Document(), &DecryptedText());
    mus::DecryptInPlaceCommand(User(), document);
}
