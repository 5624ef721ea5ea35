// The program's message boxes: the system's own box (MessageBoxW: its icon, sound, layout and
// keys), with button captions that are always the program's Spanish ones ("Aceptar", "Sí",
// "No", "Ver informe") whatever the language of Windows, which the box would use otherwise. The
// captions are set by a CBT hook of this thread as the box is activated, before it is shown.
#pragma once

#include <windows.h>

#include <string>

namespace tc::win32 {

enum class BoxIcon { Information, Question, Error };

// An information or error box with "Aceptar".
void ShowMessage(HWND owner, const std::wstring& text, BoxIcon icon);
// A question with "Sí" (the default) and "No"; true for "Sí". The box has no close button:
// one of the two answers is chosen.
bool AskYesNo(HWND owner, const std::wstring& text);
// The same with "No" the default: for a question whose Yes changes the user's data.
bool AskYesNoDefaultNo(HWND owner, const std::wstring& text);
// An information box with "Aceptar" (the default) and a second button `other`; true when the
// user chose `other`.
bool ShowMessageWithChoice(HWND owner, const std::wstring& text, const std::wstring& other);

}  // namespace tc::win32
