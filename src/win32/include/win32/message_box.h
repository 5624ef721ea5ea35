// The program's message boxes: the system's own box (MessageBoxW: its icon, sound, layout and
// keys), with button captions that are always the program's Spanish ones ("Aceptar", "Sí",
// "No", "Ver informe") whatever the language of Windows, which the box would use otherwise. The
// captions are set by a CBT hook of this thread as the box is activated, before it is shown, and
// the box is widened where the captions or its title need more room than the system gave.
#pragma once

#include <windows.h>

#include <string>

namespace tc::win32 {

enum class BoxIcon { Information, Question, Error };
// The answer of a question that Enter gives, and where the focus starts.
enum class DefaultButton { Yes, No };

// An information or error box with "Aceptar".
void ShowMessage(HWND owner, const std::wstring& text, BoxIcon icon);
// A question with "&Sí" and "&No" (S and N, with or without Alt), `default_button` the one
// Enter gives; true for "Sí". The box has no close button: one of the two answers is chosen.
bool AskYesNo(HWND owner, const std::wstring& text,
              DefaultButton default_button = DefaultButton::Yes);

}  // namespace tc::win32
